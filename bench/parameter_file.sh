# Shared by the benchmark scripts: the program writes an 18-pair parameter
# file for the generated data at the built-in default sizes.
# write_parameter_file PROGRAM FILE DATA_DIR RESULT FIRST LAST
write_parameter_file() {
    "$1" --write-parameters "$2" \
        "Path_reference_datadirectory=$3/" "Path_study_datadirectory=$3/" \
        "Imputation_result_data_file=$4" "first_marker=$5" "last_marker=$6"
}
