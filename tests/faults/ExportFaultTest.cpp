// The export's copy under a failing medium, N rising until it gets through: the Nth read, write
// (or a short one) or in-kernel copy of the copy seam fails, or the engine's own read or lock of
// the table's files does (through the fault layer). Every failure gives "Nepodařilo se
// zkopírovat soubor!" once per file that failed and leaves no partial target; a file that didn't
// fail is copied byte for byte; the table and its open engine are untouched.
#include <iostream>

#include "FaultCatalogue.h"
#include "export/CatalogueExport.h"

namespace quorvel::faults {
namespace {

using testing::readFile;

// The copy seam with one kind of call failing at its Nth use. Steps of 4 KiB, so each file
// takes many calls.
class FailingCopyIo : public CopyIo {
  public:
    enum class Kind { None, Read, Write, ShortWrite, InKernelCopy };
    FailingCopyIo(bool inKernel, Kind kind, int n) : inKernel_(inKernel), kind_(kind), n_(n) {}
    int injected() const { return injected_; }

    std::size_t read(CopySource& source, std::uint64_t offset,
                     std::span<std::byte> buffer) override {
        if (hit(Kind::Read)) {
            throw CopyFailure("injected read error");
        }
        return CopyIo::read(source, offset, buffer);
    }
    std::size_t write(int target, std::span<const std::byte> bytes) override {
        if (hit(Kind::Write)) {
            throw CopyFailure("injected write error");
        }
        if (hit(Kind::ShortWrite)) {
            return CopyIo::write(target, bytes.first(bytes.size() / 2));
        }
        return CopyIo::write(target, bytes);
    }
    std::optional<std::size_t> copyRange(CopySource& source, std::uint64_t offset, int target,
                                         std::size_t count) override {
        if (!inKernel_) {
            return std::nullopt;
        }
        if (hit(Kind::InKernelCopy)) {
            throw CopyFailure("injected error of an in-kernel copy");
        }
        return CopyIo::copyRange(source, offset, target, std::min<std::size_t>(count, step));
    }

    static constexpr std::size_t step = 4096;

  private:
    bool hit(Kind kind) {
        if (kind != kind_ || ++calls_ != n_) {
            return false;
        }
        ++injected_;
        return true;
    }
    bool inKernel_;
    Kind kind_;
    int n_;
    int calls_ = 0;
    int injected_ = 0;
};

struct ExportFault {
    const char* name;
    bool inKernel;
    FailingCopyIo::Kind copyFault;  // or, with None, a fault of the engine's files:
    Call engineFault;
};
void PrintTo(const ExportFault& fault, std::ostream* out) {
    *out << fault.name;
}

std::string nameOfCase(const ::testing::TestParamInfo<ExportFault>& param) {
    return param.param.name;
}

class ExportFaults : public ::testing::TestWithParam<ExportFault> {};

TEST_P(ExportFaults, LeaveNoPartialTargetAndSaySo) {
    using Kind = FailingCopyIo::Kind;
    const ExportFault& fault = GetParam();
    FaultVfs& vfs = FaultVfs::instance();
    int failures = 0;
    for (int n = 1;; ++n) {
        const std::string context = std::string(fault.name) + " at call " + std::to_string(n);
        FaultCase run;
        run.prepare(Operation::Delete);  // open, a row current: a catalogue in use
        const std::vector<std::string> before = readTable(run.dir()).rows;
        const std::filesystem::path out = run.dir() / "záloha";
        std::filesystem::create_directory(out);
        FailingCopyIo io(fault.inKernel, fault.copyFault, n);
        vfs.reset();
        if (fault.copyFault == Kind::None) {
            vfs.failAt(fault.engineFault, n, SQLITE_IOERR_READ, false);
        }
        const std::vector<std::string> messages =
            CatalogueExport(run.database(), io, FailingCopyIo::step)
                .run(run.dir().string(), (out / "kopie").string());
        const int injected = io.injected() + vfs.faultsInjected();
        vfs.reset();

        int failed = 0;
        for (const char* extension : {"db", "mb"}) {
            const std::filesystem::path target = out / (std::string("kopie.") + extension);
            if (!std::filesystem::exists(target)) {
                ++failed;
                continue;
            }
            EXPECT_TRUE(readFile(target) == readFile(run.dir() / (std::string("qv.") + extension)))
                << context << ": kopie." << extension << " is not the table's file";
        }
        EXPECT_EQ(messages, std::vector<std::string>(failed, export_text::copyFailed)) << context;
        EXPECT_EQ(failed > 0, injected > 0) << context;
        EXPECT_NO_THROW(run.set().First()) << context << ": the engine is no longer usable";
        run.close();
        EXPECT_EQ(expectOneVersion(run.dir(), {before}, context), 0);
        if (::testing::Test::HasFailure() || injected == 0) {
            break;
        }
        failures += failed;
    }
    EXPECT_GT(failures, 0);
    std::cout << fault.name << ": " << failures << " failed copies\n";
}

INSTANTIATE_TEST_SUITE_P(
    CopyDataFile, ExportFaults,
    ::testing::Values(ExportFault{"InKernelCopyError", true, FailingCopyIo::Kind::InKernelCopy,
                                  Call::Read},
                      ExportFault{"ReadError", false, FailingCopyIo::Kind::Read, Call::Read},
                      ExportFault{"WriteError", false, FailingCopyIo::Kind::Write, Call::Read},
                      ExportFault{"ShortWrite", false, FailingCopyIo::Kind::ShortWrite, Call::Read},
                      ExportFault{"EngineReadError", false, FailingCopyIo::Kind::None, Call::Read},
                      ExportFault{"EngineLockError", true, FailingCopyIo::Kind::None, Call::Lock}),
    nameOfCase);

}  // namespace
}  // namespace quorvel::faults
