# The engine's tests record the sound server's null sink to hear what the engine played.
pkg_check_modules(PULSE_SIMPLE REQUIRED IMPORTED_TARGET libpulse-simple)
target_link_libraries(test_engine PRIVATE PkgConfig::PULSE_SIMPLE PkgConfig::PULSE)
