# Writes the small exports of examples/ in the layouts of R and pandas:
# plots_r.csv (R write.csv), plots.tsv (pandas to_csv(sep="\t", index=False))
# and plots_csv2.csv (R write.csv2). The numbers are generated here.
#   python3 scripts/make_export_examples.py   (run from the top directory)
import random
random.seed(23)
soils = ["clay", "sand", "loam", "silt, stony"]
rows = []
for i in range(1, 17):
    soil = random.choice(soils)
    height = round(random.gauss(14, 2.5), 1)
    mass = round(0.2 * height + random.gauss(0, 0.4), 2)
    leaf = round(3.1 * height + random.gauss(0, 4), 1)
    ph = round(random.gauss(6.4, 0.5), 2)
    rows.append([f"P{i:02d}", height, mass, leaf, ph, soil])
rows[4][2] = None   # a missing mass
rows[11][4] = None  # a missing pH
names = ["height", "mass", "leaf_area", "pH", "soil"]
def fmt(x, comma=False):
    s = repr(x) if isinstance(x, float) else str(x)
    return s.replace(".", ",") if comma else s
# R write.csv(df): quoted strings and names, a row-name column with an empty name, NA
with open("examples/plots_r.csv", "w") as f:
    f.write(",".join('"%s"' % n for n in [""] + names) + "\n")
    for r in rows:
        vals = ['"%s"' % r[0]] + ["NA" if v is None else fmt(v) for v in r[1:5]] + ['"%s"' % r[5]]
        f.write(",".join(vals) + "\n")
# pandas df.to_csv(sep="\t", index=False): unquoted, missing as an empty cell
with open("examples/plots.tsv", "w") as f:
    f.write("\t".join(["plot"] + names) + "\n")
    for r in rows:
        f.write("\t".join([r[0]] + ["" if v is None else fmt(v) for v in r[1:5]] + [r[5]]) + "\n")
# R write.csv2(df): semicolons, decimal commas, NA
with open("examples/plots_csv2.csv", "w") as f:
    f.write(";".join('"%s"' % n for n in [""] + names) + "\n")
    for r in rows:
        vals = ['"%s"' % r[0]] + ["NA" if v is None else fmt(v, True) for v in r[1:5]] + ['"%s"' % r[5]]
        f.write(";".join(vals) + "\n")
