#include "cli/CliSupport.h"

#include "core/NumberFormat.h"

#include <QRegularExpression>

#include <charconv>

const char* const ExitCodeHelp =
    "Exit codes:\n"
    "  0    done\n"
    "  1    instrument: port not available; import/export/locate/calibrate: the\n"
    "       file could not be used; analyse with several files: one of them could\n"
    "       not be used\n"
    "  2    instrument: time-out\n"
    "  3    instrument: memory access failed\n"
    "  4    instrument: busy (measuring or downloading)\n"
    "  5    instrument: unexpected response\n"
    "  6    a file could not be written\n"
    "  64   usage error (wrong arguments)\n"
    "  66   an input file could not be read\n"
    "  255  not confirmed, or configuration values refused\n";

void SetUpParser(QCommandLineParser& parser, const QString& description) {
    parser.setApplicationDescription(description);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
}

QString HelpText(const QCommandLineParser& parser, const QString& command) {
    QString text = parser.helpText();
    // The parser names the executable by its path; show how it is called.
    const qsizetype end = text.indexOf(QLatin1Char('\n'));
    QString first = text.left(end);
    const qsizetype options = first.indexOf(QLatin1String(" ["));
    const qsizetype space = options >= 0 ? options : first.indexOf(QLatin1Char(' '), 7);
    first = QStringLiteral("Usage: zkcli ") + command + (space >= 0 ? first.mid(space) : QString());
    text = first + text.mid(end);
    // -h and --help only; the parser's help option also lists -?.
    text.replace(QLatin1String("-?, -h, --help"), QLatin1String("-h, --help"));
    static const QRegularExpression helpAll(QStringLiteral("\\n *--help-all [^\\n]*"));
    text.remove(helpAll);
    return text + QLatin1Char('\n') + QString::fromLatin1(ExitCodeHelp);
}

int ParseArguments(QCommandLineParser& parser, const QString& command, const QStringList& args,
                   QTextStream& out, QTextStream& err) {
    if (!parser.parse(QStringList{QStringLiteral("zkcli")} + args)) {
        return UsageError(parser, command, parser.errorText(), err);
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out << HelpText(parser, command);
        out.flush();
        return ExitCode::Ok;
    }
    return -1;
}

int UsageError(const QCommandLineParser& parser, const QString& command, const QString& reason,
               QTextStream& err) {
    err << "zkcli " << command << ": " << reason << "\n\n" << HelpText(parser, command);
    err.flush();
    return ExitCode::Usage;
}

QCommandLineOption MakeDecimalPointOption() {
    return QCommandLineOption(
        QStringLiteral("decimal-point"),
        QStringLiteral("Decimal separator of numbers read and written (default: the locale's)."),
        QStringLiteral("C"));
}

bool DecimalPointOption(const QCommandLineParser& parser, const QCommandLineOption& option,
                        char& separator) {
    if (!parser.isSet(option)) {
        separator = LocaleDecimalSeparator();
        return true;
    }
    const QString value = parser.value(option);
    if (value.size() != 1) {
        return false;
    }
    const QChar c = value[0];
    if (c.unicode() < 0x21 || c.unicode() > 0x7E || c.isLetterOrNumber() || c == QLatin1Char('+') ||
        c == QLatin1Char('-')) {
        return false;
    }
    separator = static_cast<char>(c.unicode());
    return true;
}

int ReadDecimalPoint(const QCommandLineParser& parser, const QString& command,
                     const QCommandLineOption& option, char& separator, QTextStream& err) {
    if (DecimalPointOption(parser, option, separator)) {
        return -1;
    }
    return UsageError(
        parser, command,
        QStringLiteral("--decimal-point takes one character that is not a digit, sign or letter"),
        err);
}

int ReadOneFile(const QCommandLineParser& parser, const QString& command, const QString& kind,
                QString& file, QTextStream& err) {
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1) {
        return UsageError(parser, command,
                          (files.isEmpty() ? QStringLiteral("no %1 given")
                                           : QStringLiteral("more than one %1 given"))
                              .arg(kind),
                          err);
    }
    file = files[0];
    return -1;
}

int ParseOneFileCommand(QCommandLineParser& parser, const QString& command, const QStringList& args,
                        const QCommandLineOption& decimalPoint, const QString& kind,
                        char& separator, QString& file, QTextStream& out, QTextStream& err) {
    if (const int parsed = ParseArguments(parser, command, args, out, err); parsed >= 0) {
        return parsed;
    }
    if (const int code = ReadDecimalPoint(parser, command, decimalPoint, separator, err);
        code >= 0) {
        return code;
    }
    return ReadOneFile(parser, command, kind, file, err);
}

QJsonValue SingleValue(float v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return QJsonValue(QString::fromLatin1(buf, r.ptr - buf).toDouble());
}
