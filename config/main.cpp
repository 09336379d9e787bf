// korun-config: a module's channel configuration to and from a JSON file.
#include "config_diff.h"
#include "config_file.h"
#include "korun_mbproxy.h"
#include "link_settings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <numeric>
#include <unistd.h>

namespace {

const char usage[] = R"(Usage: korun-config read  --port PATH --address X [-o FILE]
       korun-config diff  FILE --port PATH --address X
       korun-config write FILE --port PATH --address X [--yes] [--restore-image]

Keeps a Korun module's channel configuration in a JSON file ("korun-config/1"):
  read    writes the module's configuration (sensor and connection per channel, their
          codes, ADC setup, the address-switch orientation and the whole 1202-byte
          configuration block) to FILE or standard output.
  diff    prints what differs, channel by channel; exit 0 when the module holds the file's
          channels and address switch, 1 when it differs.
  write   shows the difference, then writes it with --yes (or after y on a terminal) the
          way the window's Store does: sensor and connection names win over the codes, the
          ADC setup comes from the catalogue, every other byte stays the module's own; then
          reads back and verifies. --restore-image writes the file's whole block back
          instead (a backup restored to the same module).
A file that cannot be right (unknown sensor, resistive sensor without a 2-, 3- or 4-wire
connection, wrong format) is refused before anything is sent.

  --port PATH       serial port of the RS-485 adapter
  --address X       the module's address switch, 0..F (bus address 176 + X)
  -o, --output FILE where read writes (default: standard output)
  --yes             write without asking
  --restore-image   write the file's whole configuration block
  --help, --version

Exit status: 0 done (diff: no difference), 1 differs / not written / module failed,
2 bad arguments or file, or the port cannot be opened.
)";

int fail(const QString &message, int status)
{
    std::fprintf(stderr, "korun-config: %s\n", qPrintable(message));
    return status;
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
    const QCommandLineOption help(QStringLiteral("help")), version(QStringLiteral("version"));
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption address(QStringLiteral("address"), QString(), QStringLiteral("X"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("FILE"));
    const QCommandLineOption yes(QStringLiteral("yes")), restore(QStringLiteral("restore-image"));
    parser.addOptions({help, version, port, address, output, yes, restore});
    if (!parser.parse(application.arguments()))
        return fail(parser.errorText() + QStringLiteral(" (see --help)"), 2);
    if (parser.isSet(help)) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("korun-config %s\n", KORUN_VERSION);
        return 0;
    }
    const QStringList words = parser.positionalArguments();
    const QString command = words.value(0);
    const bool needsFile = command == QLatin1String("diff") || command == QLatin1String("write");
    if ((command != QLatin1String("read") && !needsFile) || words.size() != (needsFile ? 2 : 1))
        return fail(QStringLiteral("expected read, diff FILE or write FILE (see --help)"), 2);
    bool ok = false;
    const int selector = parser.value(address).toInt(&ok, 16);
    if (parser.value(port).isEmpty() || parser.value(address).size() != 1 || !ok)
        return fail(QStringLiteral("--port PATH and --address 0..F are required (see --help)"), 2);

    ConfigFile file;
    if (needsFile) {
        QFile input(words[1]);
        if (!input.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1: %2").arg(words[1], input.errorString()), 2);
        QString error;
        if (!parseConfigFile(input.readAll(), file, error))
            return fail(QStringLiteral("%1: %2; nothing was written").arg(words[1], error), 2);
        if (parser.isSet(restore) && !file.image)
            return fail(QStringLiteral("%1: image: missing, needed for --restore-image").arg(words[1]), 2);
    }

    Korun_MBProxy proxy;
    configureLink(proxy, parser.value(port), selector);
    if (!proxy.connectDevice() || !proxy.isConnected())
        return fail(QStringLiteral("cannot open %1: %2").arg(parser.value(port), proxy.errorString()), 2);
    ConfigurationImage module;
    if (!proxy.readConfiguration(module))
        return fail(moduleFailure(proxy), command == QLatin1String("diff") ? 2 : 1);

    if (command == QLatin1String("read")) {
        const QByteArray text = configFileText(module, proxy.serverAddress, QDateTime::currentDateTimeUtc());
        QFile out;
        const bool opened = parser.isSet(output) ? (out.setFileName(parser.value(output)), out.open(QIODevice::WriteOnly))
                                                 : out.open(stdout, QIODevice::WriteOnly);
        if (!opened || out.write(text) != text.size() || !out.flush())
            return fail(QStringLiteral("cannot write %1: %2").arg(parser.value(output), out.errorString()), 1);
        return 0;
    }

    const bool wholeImage = parser.isSet(restore);
    const ConfigurationImage wanted = wholeImage ? *file.image : afterStore(module, file);
    const QStringList differences = configDifferences(module, file);
    for (const QString &line : differences)
        std::printf("%s\n", qPrintable(line));
    const bool same = wholeImage ? module.bytes == wanted.bytes : differences.isEmpty();
    if (command == QLatin1String("diff") || same) {
        if (same)
            std::printf("module %s holds the file's configuration\n", qPrintable(busAddressText(proxy.serverAddress)));
        return same ? 0 : 1;
    }
    if (wholeImage)
        std::printf("the whole configuration block: %d of %d bytes differ\n",
                    int(std::inner_product(module.bytes.begin(), module.bytes.end(), wanted.bytes.begin(), 0,
                                           std::plus<>(), std::not_equal_to<>())),
                    int(module.bytes.size()));
    if (!confirmed(parser.isSet(yes)))
        return fail(QStringLiteral("nothing was written (confirm with --yes)"), 1);

    int written = 0;
    const bool stored = wholeImage ? proxy.writeHoldingRegisters(RegisterMap::configurationAddress,
                                                                 RegisterMap::configurationCount, wanted.words(), &written)
                                   : proxy.storeConfiguration(file.choices, file.addressSwitchZeroLeft, &written);
    if (!stored)
        return fail(QStringLiteral("writing failed after %1 of 5 blocks, the module's configuration may be "
                                   "incomplete: %2")
                        .arg(qMax(0, written))
                        .arg(proxy.lastFailure().reason),
                    1);
    ConfigurationImage readBack;
    if (!proxy.readConfiguration(readBack) && !proxy.readConfiguration(readBack))
        return fail(QStringLiteral("written, but the read-back failed: ") + moduleFailure(proxy), 1);
    if (readBack.bytes != wanted.bytes)
        return fail(QStringLiteral("written, but the module holds something else (another writer?)"), 1);
    std::printf("written to module %s and verified\n", qPrintable(busAddressText(proxy.serverAddress)));
    return 0;
}
