# Byte-exact files that step three's saves are compared with.
target_compile_definitions(${target} PRIVATE QIVA_EDITFORM3_DATA="${dir}/data")
