// Another running copy of the program, as the lock tests need one: it saves new issues one
// after another through its own Query1, each a row in qv.db and its memo in qv.mb committed in
// one transaction, as a copy does at every Save, a few milliseconds apart. It runs until it is sent
// SIGTERM, then prints how many saves committed and how many the locks refused, and exits 0.
//
//   lock_test_writer DIR
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "EDBEngineError.h"
#include "engine/Engine.h"
#include "recordset/RecordSet.h"

namespace {

volatile std::sig_atomic_t stopped = 0;

void stop(int) {
    stopped = 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: lock_test_writer DIR\n");
        return 2;
    }
    std::signal(SIGTERM, stop);
    long saved = 0;
    long refused = 0;
    try {
        quorvel::Engine engine(argv[1]);
        quorvel::RecordSet set(engine, "Query1");
        set.AddSQL("select * from qv");
        set.Open();
        // Each memo a few kilobytes, so that its pages lie far from the row's.
        const std::string memo(4000, 'm');
        while (stopped == 0) {
            try {
                set.Append();
                set.FieldByName("Vytisk").SetAsString("Druhá kopie " + std::to_string(saved));
                set.FieldByName("Cislo").SetAsString(std::to_string(saved % 12 + 1) + "/2026");
                set.FieldByName("Obsah_vytisku").SetAsString(memo + std::to_string(saved));
                set.Post();
                ++saved;
                // A moment between two saves, as between a user's: a copy that took the lock
                // again at once would starve the other's saves past their busy timeout.
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            } catch (const quorvel::EDBEngineError&) {
                set.Cancel();
                ++refused;
            }
        }
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "lock_test_writer: %s\n", failure.what());
        return 1;
    }
    std::printf("%ld saved, %ld refused\n", saved, refused);
    return 0;
}
