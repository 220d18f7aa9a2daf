# Shared by the benchmark scripts: writes an 18-pair parameter file for the
# generated data at the built-in default sizes.
# write_parameter_file FILE DATA_DIR RESULT FIRST LAST
write_parameter_file() {
    cat >"$1" <<EOF2
current_chr 7
population_marker 143232
population_sample 120
typed_marker 29772
ncase 276
ncontrol 271
calling_genotype_threshood 0.33
Path_reference_datadirectory $2/
Path_study_datadirectory $2/
Reference_data_file hapmap.hap
Reference_data_mapfile hapmap.map
Disease_data_file disease.geno
Disease_data_mapfile disease.map
Normal_data_file normal.geno
Normal_data_mapfile normal.map
Imputation_result_data_file $3
first_marker $4
last_marker $5
EOF2
}
