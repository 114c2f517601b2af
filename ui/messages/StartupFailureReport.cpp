#include "messages/StartupFailureReport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

#include <cxxabi.h>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "Exceptions.h"
#include "messages/FullStop.h"

namespace quorvel::ui {

namespace {

QString kindNameOf(const std::exception& failure) {
    if (const auto* own = dynamic_cast<const Exception*>(&failure)) {
        return QString::fromLatin1(own->kindName());
    }
    const char* mangled = typeid(failure).name();
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> demangled(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
    return QString::fromLatin1(status == 0 && demangled ? demangled.get() : mangled);
}

std::uint32_t raiseAddressOf(const std::exception& failure) {
    const auto* own = dynamic_cast<const Exception*>(&failure);
    return own != nullptr ? static_cast<std::uint32_t>(own->raiseAddress()) : 0;
}

// The first n code points of text; never splits a surrogate pair.
QString leftCodePoints(const QString& text, qsizetype n) {
    qsizetype units = 0;
    for (qsizetype count = 0; count < n && units < text.size(); ++count) {
        units += text.at(units).isHighSurrogate() && units + 1 < text.size() ? 2 : 1;
    }
    return text.left(units);
}

}  // namespace

QString startupFailureText(const std::exception& failure, const QString& moduleFileName) {
    const QString text =
        QStringLiteral("Exception %1 in module %2 at %3.\n%4")
            .arg(kindNameOf(failure), moduleFileName,
                 QStringLiteral("%1").arg(raiseAddressOf(failure), 8, 16, QChar(u'0')).toUpper(),
                 withStartupFullStop(QString::fromUtf8(failure.what())));
    return leftCodePoints(text, StartupReportMaxLength);
}

void showStartupFailure(const std::exception& failure) {
    const QString module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Application Error"),
                    startupFailureText(failure, module), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace quorvel::ui
