#include "cli/PrintCommand.h"

#include "cli/AnalysisSetup.h"
#include "cli/CliSupport.h"
#include "printing/PrintProtocol.h"

#include <QDir>
#include <QFileInfo>

int RunPrintCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const QString command = QStringLiteral("print");
    QCommandLineParser parser;
    SetUpParser(
        parser,
        QStringLiteral(
            "Prepares each sample as `zkcli analyse` does with the same options and prints\n"
            "its protocol (or label) as \"Print protocol\" and \"Print\" do, into a one-page\n"
            "PDF file. With several samples, OUT is a folder and each PDF takes its sample's\n"
            "base name."));
    const TAnalysisSetupOptions setup = MakeAnalysisSetupOptions();
    const QCommandLineOption output(
        QStringList{QStringLiteral("o"), QStringLiteral("output")},
        QStringLiteral("The PDF file (the folder for several samples)."), QStringLiteral("OUT"));
    const QCommandLineOption label(QStringLiteral("label"),
                                   QStringLiteral("Print the label instead of the protocol."));
    const QCommandLineOption title(
        QStringLiteral("title"),
        QStringLiteral("The title after \"File:\" in the footer (default: the sample's file "
                       "name)."),
        QStringLiteral("TEXT"));
    const QCommandLineOption time(QStringLiteral("time"),
                                  QStringLiteral("The moment the footer states (default: now)."),
                                  QStringLiteral("YYYY-MM-DDTHH:MM:SS"));
    const QCommandLineOption resolution(QStringLiteral("resolution"),
                                        QStringLiteral("Dots per inch, 72 to 2400 (default: 600)."),
                                        QStringLiteral("DPI"), QStringLiteral("600"));
    const QCommandLineOption page(QStringLiteral("page"),
                                  QStringLiteral("The sheet: A4 or Letter (default: A4)."),
                                  QStringLiteral("A4|Letter"), QStringLiteral("A4"));
    const QCommandLineOption decimalPoint = MakeDecimalPointOption();
    parser.addOptions({output, label, setup.Background, setup.Subtract, setup.PeakList,
                       setup.Doublets, setup.Trapezoid, setup.Uncertainties, title, time,
                       resolution, page, decimalPoint});
    parser.addPositionalArgument(QStringLiteral("SAMPLE.vtb"), QStringLiteral("The sample files."),
                                 QStringLiteral("SAMPLE.vtb..."));
    const int parsed = ParseArguments(parser, command, args, out, err);
    if (parsed >= 0) {
        return parsed;
    }
    char separator = '.';
    if (const int code = ReadDecimalPoint(parser, command, decimalPoint, separator, err);
        code >= 0) {
        return code;
    }
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty()) {
        return UsageError(parser, command, QStringLiteral("no sample file given"), err);
    }
    if (!parser.isSet(output)) {
        return UsageError(parser, command, QStringLiteral("-o names the PDF file"), err);
    }
    bool ok = false;
    const int dpi = parser.value(resolution).toInt(&ok);
    if (!ok || dpi < 72 || dpi > 2400) {
        return UsageError(parser, command,
                          QStringLiteral("--resolution takes 72 to 2400 dots per inch"), err);
    }
    QPageSize pageSize(QPageSize::A4);
    if (parser.value(page).compare(QStringLiteral("Letter"), Qt::CaseInsensitive) == 0) {
        pageSize = QPageSize(QPageSize::Letter);
    } else if (parser.value(page).compare(QStringLiteral("A4"), Qt::CaseInsensitive) != 0) {
        return UsageError(parser, command, QStringLiteral("--page takes A4 or Letter"), err);
    }
    std::optional<QDateTime> moment;
    if (parser.isSet(time)) {
        moment = QDateTime::fromString(parser.value(time), QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
        if (!moment->isValid()) {
            return UsageError(parser, command, QStringLiteral("--time takes YYYY-MM-DDTHH:MM:SS"),
                              err);
        }
    }
    const QString target = parser.value(output);
    if (files.size() > 1 && !QFileInfo(target).isDir()) {
        err << "zkcli print: " << target << " is not a folder (several samples need one)"
            << Qt::endl;
        return ExitCode::WriteFailed;
    }

    int status = ExitCode::Ok;
    for (const QString& file : files) {
        TWorkstation session;
        if (int code = OpenAnalysisSamples(session, parser, setup, file, err); code < 0) {
            code = SolveAnalysis(session, parser, setup, command, err);
            if (code >= 0) {
                return code; // a usage error holds for every sample
            }
        } else {
            status = status == ExitCode::Ok ? code : status;
            continue;
        }
        if (!IsTrue(session.State.MeasuredSample.Valid)) {
            err << file << ": the sample is not valid; nothing printed" << Qt::endl;
            status = status == ExitCode::Ok ? ExitCode::InputFailed : status;
            continue;
        }
        // The main window prints after its analysis run, which has stored every
        // peak's result in the sample; the label states those results.
        TAnalysisOptions options;
        options.DecimalSeparator = separator;
        session.Analyse(options);
        const QString name = parser.isSet(title) ? parser.value(title) : QFileInfo(file).fileName();
        TPrintJob job = MakePrintJob(session.State, session.BackgroundSubtraction,
                                     session.Uncertainties, name, separator);
        job.Moment = moment;
        const QString path =
            files.size() > 1
                ? QDir(target).filePath(QFileInfo(file).completeBaseName() + QStringLiteral(".pdf"))
                : target;
        QString error;
        if (!PrintToPdf(path, job, parser.isSet(label), dpi, pageSize, error)) {
            err << error << Qt::endl;
            status = status == ExitCode::Ok ? ExitCode::WriteFailed : status;
            continue;
        }
        out << path << '\n';
    }
    out.flush();
    return status;
}
