// Selection of a sorted position that leaves the values in exactly the order
// std::nth_element leaves them, only faster. Sums taken afterwards in the
// order the values stand (the trimmed means, the normality test's moments)
// depend on that order to the last bit.
#pragma once

// Does to [first, last) what std::nth_element(first, nth, last) does with
// operator<, step for step (median-of-three pivots, Hoare's partition, the
// heap selection past the depth limit, the insertion sort of the last few),
// but each partition finds the values to swap a block at a time without a
// branch per value. REQUIRES: no NaN; first <= nth <= last.
void select_nth(double *first, double *nth, double *last);
