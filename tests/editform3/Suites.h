#pragma once
// The test classes of step three, run one after another by main().

namespace qiva::test {

int RunTestTiming(int argc, char** argv);
int RunTestRecording(int argc, char** argv);
int RunTestCorrections(int argc, char** argv);
int RunTestSaveImport(int argc, char** argv);
int RunTestEndToEnd(int argc, char** argv);
int RunTestKeys(int argc, char** argv);
int RunTestWaveform(int argc, char** argv);

}  // namespace qiva::test
