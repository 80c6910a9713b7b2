# The journey drives the real windows through the window system (mouse events go where a real pointer's
# would, modal windows block the others), on the xcb platform under its own Xvfb.
target_compile_definitions(${target} PRIVATE QTEST_QPA_MOUSE_HANDLING)
set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=xcb;QIVA_AUDIO=null" TIMEOUT 240)
