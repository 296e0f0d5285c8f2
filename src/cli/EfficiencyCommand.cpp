#include "cli/EfficiencyCommand.h"

#include "calibration/EfficiencyCalibration.h"
#include "cli/AnalysisSetup.h"
#include "cli/CliSupport.h"
#include "core/NumberFormat.h"
#include "core/SampleFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>
#include <optional>

namespace {

std::optional<QString> Answer(const QCommandLineParser& parser, const QCommandLineOption& option) {
    return parser.isSet(option) ? std::optional<QString>(parser.value(option)) : std::nullopt;
}

const char* const EditNames[CoefficientEditCount] = {"A", "B", "Ecut", "m"};

} // namespace

int RunCalibrateEfficiencyCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const QString command = QStringLiteral("calibrate efficiency");
    QCommandLineParser parser;
    SetUpParser(
        parser,
        QStringLiteral(
            "Calibrates the detection efficiency on a measurement of a reference source:\n"
            "opens and analyses the sample as `zkcli analyse` does with the same options,\n"
            "takes every line with a positive net area as a calibration point, answers the\n"
            "efficiency window's prompts with the texts given (an absent option answers\n"
            "with the text the prompt shows), types --ecut into the Ecut edit, then fits\n"
            "(CALIBRATE) and applies (APPLY). Prints the point grid, the four edits and\n"
            "each point's deviation from the curve; warnings go to standard error.\n"
            "A fit that fails: its message on standard error, exit code 1, nothing written."));
    const TAnalysisSetupOptions setup = MakeAnalysisSetupOptions();
    const QCommandLineOption activity(
        QStringLiteral("activity"),
        QStringLiteral("Answer to \"Enter reference activity [Bq/kg]\" (a whole number)."),
        QStringLiteral("TEXT"));
    const QCommandLineOption interval(
        QStringLiteral("interval"),
        QStringLiteral("Answer to \"Enter correct interval [sec.]\", asked when the sample has "
                       "no measuring time."),
        QStringLiteral("TEXT"));
    const QCommandLineOption weight(
        QStringLiteral("weight"),
        QStringLiteral("Answer to \"Enter correct weight [kg]\", asked when the sample has no "
                       "weight."),
        QStringLiteral("TEXT"));
    const QCommandLineOption ecut(QStringLiteral("ecut"),
                                  QStringLiteral("Type this number into the Ecut edit before "
                                                 "the fit (keV, with the decimal separator)."),
                                  QStringLiteral("NUMBER"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Write the calibrated sample to this file."),
                                    QStringLiteral("OUT.vtb"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print one JSON object instead of text."));
    const QCommandLineOption decimalPoint = MakeDecimalPointOption();
    parser.addOptions({activity, interval, weight, ecut, setup.Background, setup.Subtract,
                       setup.PeakList, setup.Uncertainties, setup.Doublets, setup.Trapezoid, output,
                       json, decimalPoint});
    parser.addPositionalArgument(QStringLiteral("SAMPLE.vtb"),
                                 QStringLiteral("The measurement of the reference source."));
    const int parsed = ParseArguments(parser, command, args, out, err);
    if (parsed >= 0) {
        return parsed;
    }
    TAnalysisOptions options;
    if (const int code =
            ReadDecimalPoint(parser, command, decimalPoint, options.DecimalSeparator, err);
        code >= 0) {
        return code;
    }
    QString file;
    if (const int code = ReadOneFile(parser, command, QStringLiteral("sample file"), file, err);
        code >= 0) {
        return code;
    }
    if (!parser.isSet(activity)) {
        return UsageError(parser, command, QStringLiteral("--activity TEXT is required"), err);
    }
    const char separator = options.DecimalSeparator;
    double ecutValue = 0;
    if (parser.isSet(ecut) &&
        !TryParseNumber(parser.value(ecut).toStdString(), separator, ecutValue)) {
        return UsageError(
            parser, command,
            QStringLiteral("--ecut takes a number written with '%1'").arg(QLatin1Char(separator)),
            err);
    }

    TWorkstation session;
    if (const int code = OpenAnalysisSamples(session, parser, setup, file, err); code >= 0) {
        return code;
    }
    if (const int code = SolveAnalysis(session, parser, setup, command, err); code >= 0) {
        return code;
    }
    // The run stores each line's net area in the measured sample's results.
    session.Analyse(options);

    TEfficiencyCalibrator calibrator(separator);
    const QStringList warnings = calibrator.OpenWithAnswers(
        session.State.MeasuredSample,
        {Answer(parser, interval), Answer(parser, weight), Answer(parser, activity)});
    for (const QString& warning : warnings) {
        err << "warning: " << warning << Qt::endl;
    }
    if (parser.isSet(ecut)) {
        calibrator.SetEditText(EcutEdit, parser.value(ecut));
    }
    try {
        for (const QString& error : calibrator.FitEfficiency()) {
            err << "warning: " << error << Qt::endl;
        }
    } catch (const std::exception& e) {
        err << e.what() << Qt::endl;
        return 1;
    }
    TSampleFile& sample = session.State.MeasuredSample;
    calibrator.ApplyTo(sample);
    const std::vector<TCurvePoint> points = calibrator.CurvePoints();

    if (parser.isSet(json)) {
        QJsonArray grid;
        for (const auto& row : calibrator.GridRows) {
            grid.append(QJsonArray::fromStringList(QStringList(row.begin(), row.end())));
        }
        QJsonArray pointArray;
        for (const TCurvePoint& p : points) {
            pointArray.append(QJsonObject{{"energy", p.Energy},
                                          {"efficiency", p.Efficiency},
                                          {"part", p.PowerPart ? "power" : "line"},
                                          {"deviation", p.DeviationText}});
        }
        QJsonObject edits;
        for (int e = 0; e < CoefficientEditCount; ++e) {
            edits[EditNames[e]] = calibrator.EditTexts[e];
        }
        const TEfficiencyCalibration rcal = sample.Calibration.RCal;
        QJsonObject root;
        root["warnings"] = QJsonArray::fromStringList(warnings);
        root["grid"] = grid;
        root["points"] = pointArray;
        root["edits"] = edits;
        root["RCal"] = QJsonObject{{"A0", SingleValue(rcal.A0)},
                                   {"B0", SingleValue(rcal.B0)},
                                   {"Ecut", SingleValue(rcal.Ecut)},
                                   {"m", SingleValue(rcal.m)}};
        out << QJsonDocument(root).toJson(QJsonDocument::Indented);
    } else {
        out << TEfficiencyCalibrator::GridHeader().join('\t') << '\n';
        for (const auto& row : calibrator.GridRows) {
            out << QStringList(row.begin(), row.end()).join('\t') << '\n';
        }
        for (int e = 0; e < CoefficientEditCount; ++e) {
            out << EditNames[e] << ": " << calibrator.EditTexts[e] << '\n';
        }
        for (const TCurvePoint& p : points) {
            out << QString::fromStdString(FormatGeneral(p.Energy, separator)) << " keV\t"
                << p.DeviationText << '\n';
        }
    }
    out.flush();
    if (parser.isSet(output)) {
        QString error;
        if (!WriteSampleFile(parser.value(output), sample, error)) {
            err << error << Qt::endl;
            return ExitCode::WriteFailed;
        }
    }
    return ExitCode::Ok;
}
