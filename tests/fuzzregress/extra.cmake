# The regression test runs the fuzz targets' own entry points over every committed corpus and crash file.
target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/fuzz/FuzzTargets.cpp ${PROJECT_SOURCE_DIR}/fuzz/FuzzTargets.h)
target_compile_definitions(${target} PRIVATE QIVA_FUZZ_DIR="${PROJECT_SOURCE_DIR}/fuzz")
