# The journey drives the real windows through the window system (mouse events go where a real pointer's
# would, modal windows block the others), on the xcb platform under its own Xvfb.
target_compile_definitions(${target} PRIVATE QTEST_QPA_MOUSE_HANDLING)
set_tests_properties(${name} PROPERTIES ENVIRONMENT
                     "QT_QPA_PLATFORM=xcb;QIVA_AUDIO=null;XDG_CONFIG_HOME=${PROJECT_BINARY_DIR}/test-config"
                     TIMEOUT 240)

# The installed program (tests/install holds no C++ of its own, so its check is registered here).
add_test(NAME install COMMAND bash ${PROJECT_SOURCE_DIR}/tests/install/install_test.sh ${PROJECT_BINARY_DIR}
                                   ${PROJECT_SOURCE_DIR})
set_tests_properties(install PROPERTIES TIMEOUT 180)
