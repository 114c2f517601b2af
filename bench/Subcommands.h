// The entry points of qvbench's subcommands, each in a file of its own. Each takes the
// arguments after the subcommand's name, prints its report on stdout and returns the exit
// status (0 done, 1 failed, 2 wrong usage).
#pragma once

#include <string>
#include <vector>

namespace quorvel::bench {

using Arguments = std::vector<std::string>;

int runStoreBench(const Arguments& arguments);      // StoreBench.cpp
int runRecordSetBench(const Arguments& arguments);  // RecordSetBench.cpp
int runGridBench(const Arguments& arguments);       // GridBench.cpp, with Qt
int runExportBench(const Arguments& arguments);     // ExportBench.cpp
int runBackupBench(const Arguments& arguments);     // BackupBench.cpp
int runHoldingsBench(const Arguments& arguments);   // HoldingsBench.cpp
int runStartBench(const Arguments& arguments);      // StartBench.cpp, with Qt
int runImportBench(const Arguments& arguments);     // ImportBench.cpp

}  // namespace quorvel::bench
