#pragma once
// The runner's offline commands on a mapping file.

#include <QString>

#include <cstdio>

/// Exit statuses of senkey-run.
enum RunnerExit : int {
    ExitOk = 0,
    ExitFailure = 1, ///< an output file could not be written
    ExitUsage = 2,   ///< bad usage, or a file that is not a mapping file
    ExitNoEngine = 3,
    ExitConnectionLost = 4,
};

/// Prints each rule of the file with its conditions and what it emits. ExitOk for a mapping file,
/// ExitUsage otherwise (with the reason on `err`).
int checkMappings(const QString& fileName, std::FILE* out = stdout, std::FILE* err = stderr);

/// Loads the file and writes it back to `outFile` with the program's own writer.
int writeMappings(const QString& fileName, const QString& outFile, std::FILE* err = stderr);
