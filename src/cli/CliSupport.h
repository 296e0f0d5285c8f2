// What the subcommands of zkcli share: exit codes, the parser set-up and
// the usage line, the decimal-point option and the console stand-ins for the
// program's windows.
#pragma once

#include "instrument/InstrumentOperations.h"

#include <QCommandLineParser>
#include <QJsonValue>
#include <QStringList>
#include <QTextStream>

// Exit codes. The instrument statuses 1 to 6 and 255 pass through unchanged.
namespace ExitCode {
inline constexpr int Ok = 0;
inline constexpr int SomeFilesFailed = 1; // analyse: a file of several could not be used
inline constexpr int WriteFailed = 6;     // a file could not be written
inline constexpr int Usage = 64;          // wrong arguments
inline constexpr int InputFailed = 66;    // an input file could not be read
inline constexpr int NotConfirmed = 255;
} // namespace ExitCode

// The exit code table of --help and the README.
extern const char* const ExitCodeHelp;

// A parser for `zkcli <command>` with --help, the given description and
// positional arguments already added.
void SetUpParser(QCommandLineParser& parser, const QString& description);

// The help text of `parser` with the usage line starting "Usage: zkcli <command>".
QString HelpText(const QCommandLineParser& parser, const QString& command);

// Parses `args` (the words after the command). On a usage error writes
// "zkcli <command>: <reason>", a blank line and the help to `err` and returns
// ExitCode::Usage; --help writes the help to `out` and returns Ok; otherwise
// returns -1 and the caller goes on.
int ParseArguments(QCommandLineParser& parser, const QString& command, const QStringList& args,
                   QTextStream& out, QTextStream& err);

// Reports a usage error found after parsing; returns ExitCode::Usage.
int UsageError(const QCommandLineParser& parser, const QString& command, const QString& reason,
               QTextStream& err);

// The --decimal-point option: one character that is not a digit, a sign or a
// letter; the locale's separator when the option is absent. False for a bad value.
bool DecimalPointOption(const QCommandLineParser& parser, const QCommandLineOption& option,
                        char& separator);
QCommandLineOption MakeDecimalPointOption();

// The separator of --decimal-point after parsing: -1 to go on, or
// ExitCode::Usage after reporting a bad value.
int ReadDecimalPoint(const QCommandLineParser& parser, const QString& command,
                     const QCommandLineOption& option, char& separator, QTextStream& err);

// Exactly one positional argument, the `kind` of file ("sample file"): -1 to
// go on with `file` set, or ExitCode::Usage after reporting none or several.
int ReadOneFile(const QCommandLineParser& parser, const QString& command, const QString& kind,
                QString& file, QTextStream& err);

// The three steps of a command on one file with --decimal-point:
// ParseArguments, ReadDecimalPoint and ReadOneFile. -1 to go on with
// `separator` and `file` set, or the exit code of the step that ended it.
int ParseOneFileCommand(QCommandLineParser& parser, const QString& command, const QStringList& args,
                        const QCommandLineOption& decimalPoint, const QString& kind,
                        char& separator, QString& file, QTextStream& out, QTextStream& err);

// Prints the progress of a download, one line per sample, to standard error.
class TConsoleProgress : public TDownloadProgress {
public:
    explicit TConsoleProgress(QTextStream& err) : Err(err) {}
    void Show() override {}
    void ShowProgress(int received, int total, const QString& fileName) override {
        Err << received << "/" << total << " " << fileName << Qt::endl;
    }
    void Hide() override {}

private:
    QTextStream& Err;
};

// A single-precision value as the JSON number of the shortest text that
// reads back to it ("0.1", not 0.10000000149011612).
QJsonValue SingleValue(float v);
