#pragma once
// The test classes of wizard steps one and two; main() runs them all.

#include <QString>

namespace qiva::test {

int RunExpandMarksTests(int argc, char** argv);
int RunStepOneTests(int argc, char** argv);
int RunStepTwoTests(int argc, char** argv);
int RunLyricTextFileTests(int argc, char** argv);

// A temporary folder unique to this run, removed at exit.
QString ScratchFolder();

}  // namespace qiva::test
