#!/usr/bin/env python3
"""A longer chromosome made of copies of one region, for benchmarks of how
runs scale with the chromosome: copy k of every record lies k * LENGTH bases
further, its ID suffixed ".k"; with --widen W every individual is repeated W
times (named NAME.w) to make a larger panel of the same haplotypes.

    tile_region.py IN.vcf OUT.vcf --copies K --length LENGTH [--widen W]
"""
import argparse


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("source")
    parser.add_argument("target")
    parser.add_argument("--copies", type=int, required=True)
    parser.add_argument("--length", type=int, required=True)
    parser.add_argument("--widen", type=int, default=1)
    args = parser.parse_args()
    header, records = [], []
    with open(args.source) as f:
        for line in f:
            (header if line.startswith("#") else records).append(line.rstrip("\n"))
    with open(args.target, "w") as out:
        for line in header[:-1]:
            out.write(line + "\n")
        fields = header[-1].split("\t")
        names = [f"{name}.{w}" if args.widen > 1 else name for w in range(args.widen) for name in fields[9:]]
        out.write("\t".join(fields[:9] + names) + "\n")
        for k in range(args.copies):
            for record in records:
                fields = record.split("\t")
                fields[1] = str(int(fields[1]) + k * args.length)
                fields[2] = f"{fields[2]}.{k}"
                out.write("\t".join(fields[:9] + fields[9:] * args.widen) + "\n")


if __name__ == "__main__":
    main()
