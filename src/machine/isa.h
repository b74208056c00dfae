// Which vector instruction set the arithmetic kernels run with: the widest
// one the processor supports, or the one VANTOR_ISA names. Every path gives
// the same bits; the choice only changes how many elements one instruction
// handles.
#pragma once

enum class Isa { sse2, avx2, avx512 };

constexpr Isa kAllIsas[] = {Isa::sse2, Isa::avx2, Isa::avx512};

// "sse2", "avx2" or "avx512", as VANTOR_ISA spells it.
const char *isa_name(Isa isa);

// Whether this processor (and the operating system) can run the path. Only
// sse2 off x86-64, where the other names stand for nothing.
bool isa_supported(Isa isa);

// Reads VANTOR_ISA once and fixes the path for the run. Ends the run with an
// error when it names no path or one this processor lacks: a diagnostic
// that silently ran another path would make a test of that path pass
// without running it.
void settle_isa();

// The path of the run: settle_isa()'s choice, made on first use.
Isa chosen_isa();

// Tests run the phases on each supported path in turn.
// REQUIRES: isa_supported(isa).
void use_isa_for_tests(Isa isa);
