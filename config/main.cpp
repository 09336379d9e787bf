// korun-config: a module's channel configuration to and from a JSON file.
#include "link_timing_options.h"
#include "config_changes.h"
#include "config_file.h"
#include "config_image.h"
#include "config_write.h"
#include "korun_mbproxy.h"
#include "link_settings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace {

const char usage[] = R"(Usage: korun-config read  --port PATH --address X [-o FILE]
  or:  korun-config diff  FILE --port PATH --address X [--restore-image]
  or:  korun-config write FILE --port PATH --address X [--yes] [--restore-image [--force]]

Keeps a Korun module's channel configuration in a JSON file of format "korun-config/1".
  read    writes the module's configuration (sensor and connection per channel, their
          codes, ADC setup, the address-switch orientation and the whole 1202-byte
          configuration block) to FILE or standard output.
  diff    lists every channel field and byte group a write of FILE would change; exit 0
          only when it would change nothing ("holds the file's configuration").
  write   shows the same list, writes it with --yes (or after y on a terminal), reads the
          block back and exits 1 unless the module holds what was written. A channel
          whose sensor and connection codes are the module's keeps its bytes as they are;
          a changed channel gets the file's codes and its ADC setup from the catalogue;
          the address switch comes from the file; no other byte changes.
          --restore-image writes the file's whole block back instead (a backup restored
          to the same module); an image that contradicts the file's channels, module or
          address switch, or holds codes the module could not hold, is refused unless
          --force is given.
A name wins over the code beside it (a contradiction is warned about); a bare number,
as read for a code the catalogue does not name, is kept as it stands. An unknown name or
a file of another format is refused before the port is opened; a changed channel that
cannot be built (a code the catalogue does not know, a connection code other than 0, 2,
3, 4 or 5, a resistive sensor without a 2-, 3- or 4-wire connection) is refused before
anything is written.

Options:
  --port PATH       serial port of the RS-485 adapter
  --address X       the module's address switch, 0..F (bus address 176 + X)
  -o, --output FILE where read writes (default: standard output)
  --yes             write without asking
  --restore-image   write (or compare) the file's whole configuration block
  --force           with --restore-image: write an image that fails the checks
)";

const char usageEnd[] = R"(  -h, --help, --version

Exit status: 0 done (diff: no difference), 1 differs / not written / not kept / module
failed, 2 bad arguments or file, or the port cannot be opened.
)";

int fail(const QString &message, int status)
{
    std::fprintf(stderr, "korun-config: %s\n", qPrintable(message));
    return status;
}

void warn(const QString &message)
{
    std::fprintf(stderr, "korun-config: warning: %s\n", qPrintable(message));
}

QString moduleFailure(const Korun_MBProxy &proxy)
{
    return QStringLiteral("module %1 did not answer: %2")
        .arg(busAddressText(proxy.serverAddress), proxy.lastFailure().reason);
}

bool confirmed(bool yes)
{
    if (yes)
        return true;
    if (!isatty(STDIN_FILENO))
        return false;
    std::fputs("Write this to the module? [y/N] ", stdout);
    std::fflush(stdout);
    const QString answer = QTextStream(stdin).readLine().trimmed();
    return answer.compare(QLatin1String("y"), Qt::CaseInsensitive) == 0
        || answer.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false\nqt.modbus*=false"));
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption address(QStringLiteral("address"), QString(), QStringLiteral("X"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("FILE"));
    const QCommandLineOption yes(QStringLiteral("yes")), restore(QStringLiteral("restore-image")),
        force(QStringLiteral("force"));
    parser.addOptions({help, version, port, address, output, yes, restore, force});
    const LinkTimingOptions timingOptions(defaultLinkTiming);
    timingOptions.addTo(parser);
    if (!parser.parse(application.arguments()))
        return fail(parser.errorText() + QStringLiteral(" (see --help)"), 2);
    if (parser.isSet(help)) {
        std::fputs(usage, stdout);
        std::fputs(qPrintable(timingOptions.helpText(20)), stdout);
        std::fputs(usageEnd, stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("korun-config %s\n", KORUN_VERSION);
        return 0;
    }
    const QStringList words = parser.positionalArguments();
    const QString command = words.value(0);
    const bool isDiff = command == QLatin1String("diff"), isWrite = command == QLatin1String("write");
    const bool needsFile = isDiff || isWrite;
    if ((command != QLatin1String("read") && !needsFile) || words.size() != (needsFile ? 2 : 1))
        return fail(QStringLiteral("expected read, diff FILE or write FILE (see --help)"), 2);
    bool ok = false;
    const int selector = parser.value(address).toInt(&ok, 16);
    if (parser.value(port).isEmpty() || parser.value(address).size() != 1 || !ok)
        return fail(QStringLiteral("--port PATH and --address 0..F are required (see --help)"), 2);
    const bool wholeImage = parser.isSet(restore);
    if (parser.isSet(force) && !(isWrite && wholeImage))
        return fail(QStringLiteral("--force goes with write --restore-image (see --help)"), 2);
    const QString target = busAddressText(busAddress(selector));
    LinkTiming timing;
    QString timingError;
    if (!timingOptions.read(parser, timing, timingError))
        return fail(timingError + QStringLiteral(" (see --help)"), 2);

    ConfigFile file;
    if (needsFile) {
        QFile input(words[1]);
        if (!input.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1: %2").arg(words[1], input.errorString()), 2);
        QString error;
        if (!parseConfigFile(input.readAll(), file, error))
            return fail(QStringLiteral("%1: %2; nothing was written").arg(words[1], error), 2);
        for (const QString &warning : qAsConst(file.warnings))
            warn(words[1] + QStringLiteral(": ") + warning);
        if (wholeImage && !file.image)
            return fail(QStringLiteral("%1: image: missing, needed for --restore-image").arg(words[1]), 2);
        // Checked before the port is opened: a refused image sends nothing at all.
        const QStringList problems = wholeImage ? restoreImageProblems(file, target) : QStringList();
        for (const QString &problem : problems)
            warn(QStringLiteral("%1: %2").arg(words[1], problem));
        if (!problems.isEmpty() && isWrite && !parser.isSet(force))
            return fail(QStringLiteral("the image was not written (--force writes it all the same)"), 2);
        if (!problems.isEmpty() && isWrite)
            warn(QStringLiteral("--force: writing the image all the same"));
    }

    Korun_MBProxy proxy;
    configureLink(proxy, parser.value(port), selector);
    proxy.setTimeout(timing.timeoutMs);
    proxy.setNumberOfRetries(timing.retries);
    if (!proxy.connectDevice() || !proxy.isConnected())
        return fail(QStringLiteral("cannot open %1: %2").arg(parser.value(port), proxy.errorString()), 2);
    if (!proxy.adapterLatencyAdvice().isEmpty())
        warn(proxy.adapterLatencyAdvice());
    ConfigurationImage module;
    if (!proxy.readConfiguration(module))
        return fail(moduleFailure(proxy), isDiff ? 2 : 1);

    if (!needsFile) {
        const QByteArray text = configFileText(module, proxy.serverAddress, QDateTime::currentDateTimeUtc());
        QFile out;
        const bool opened = parser.isSet(output) ? (out.setFileName(parser.value(output)), out.open(QIODevice::WriteOnly))
                                                 : out.open(stdout, QIODevice::WriteOnly);
        if (!opened || out.write(text) != text.size() || !out.flush())
            return fail(QStringLiteral("cannot write %1: %2").arg(parser.value(output), out.errorString()), 1);
        return 0;
    }

    ConfigurationImage wanted = module;
    if (wholeImage) {
        wanted = *file.image;
    } else {
        QStringList notes;
        QString error;
        if (!buildWrittenImage(module, file, wanted, notes, error))
            return fail(QStringLiteral("%1: %2; nothing was written").arg(words[1], error), 2);
        for (const QString &note : qAsConst(notes))
            warn(QStringLiteral("%1: %2").arg(words[1], note));
    }
    const QStringList changes = describeChanges(module, wanted);
    for (const QString &line : changes)
        std::printf("%s\n", qPrintable(line));
    if (changes.isEmpty()) {
        std::printf("module %s holds the file's configuration\n", qPrintable(target));
        return 0;
    }
    std::printf("a write changes %d of %d bytes of module %s\n", changedByteCount(module, wanted),
                int(module.bytes.size()), qPrintable(target));
    if (isDiff)
        return 1;
    if (!confirmed(parser.isSet(yes)))
        return fail(QStringLiteral("nothing was written (confirm with --yes)"), 1);
    QString error;
    if (!writeAndVerify(proxy, module, wanted, error))
        return fail(error, 1);
    std::printf("written to module %s and verified\n", qPrintable(target));
    return 0;
}
