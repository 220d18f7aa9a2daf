#!/usr/bin/env python3
"""pheno-cases.py PHENO OUT: the case IDs of a case/control phenotype file.

PHENO has a header naming IID (or ID) and, as its last column, the
phenotype: 2 case / 1 control, or 1 case / 0 control; NA and -9 are missing.
Writes the IDs of the cases to OUT, one a line, in file order; the conversion
of the study splits its samples by them, as the screen and the analysis do
by the phenotype file itself.
"""
import sys


def main():
    pheno, out = sys.argv[1:3]
    with open(pheno) as f:
        rows = [line.split() for line in f if line.strip()]
    if not rows:
        sys.exit(f"pheno-cases.py: {pheno} is empty")
    header = rows[0]
    id_column = next((header.index(name) for name in ("IID", "ID") if name in header), None)
    if id_column is None:
        sys.exit(f"pheno-cases.py: the header of {pheno} names no IID or ID column")
    values = [(row[id_column], row[-1]) for row in rows[1:] if row[-1] not in ("NA", "-9")]
    coding = {value for _, value in values}
    if not coding or not (coding <= {"1", "2"} or coding <= {"0", "1"}):
        sys.exit(f"pheno-cases.py: {pheno} is not coded 2/1 or 1/0 (values: {', '.join(sorted(coding)[:5])})")
    case = "1" if "0" in coding else "2"
    with open(out, "w") as f:
        f.writelines(f"{sample}\n" for sample, value in values if value == case)


if __name__ == "__main__":
    main()
