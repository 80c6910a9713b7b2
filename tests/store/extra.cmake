# The LRC reader is tried on files that other tools wrote, kept in the shared folder beside the checkout.
target_compile_definitions(${target} PRIVATE QIVA_SHARED_DIR="${PROJECT_SOURCE_DIR}/../shared")
