#include "core/FileDialogs.h"

#include <QDir>
#include <QFileInfo>

const QString SampleFileFilter = QStringLiteral("Zel-Korda sample files (*.vtb)|*.vtb");
const QString EWCalFileFilter =
    QStringLiteral("Zel-Korda energy/peakwidth calibrations (*.ewcal)|*.ewcal");
const QString RCalFileFilter = QStringLiteral("Zel-Korda efficiency calibrations (*.rcal)|*.rcal");

TFileDialogOptions SampleSaveDialog() {
    return {SampleFileFilter, QStringLiteral(".vtb"), QStringLiteral("Zel-Korda data")};
}

TFileDialogOptions EWCalSaveDialog() {
    return {EWCalFileFilter, QStringLiteral(".ewcal"), QStringLiteral("Zel-Korda EW_calibration")};
}

TFileDialogOptions RCalSaveDialog() {
    return {RCalFileFilter, QStringLiteral(".rcal"), QStringLiteral("Zel-Korda R_calibration")};
}

bool HasExactExtension(const QString& path, const QString& ext) {
    const QString name = FileNameOnly(path);
    const qsizetype dot = name.lastIndexOf('.');
    return dot >= 0 && name.mid(dot) == ext;
}

QString FileNameOnly(const QString& path) {
    return QFileInfo(path).fileName();
}

QString NativePath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

bool ConfirmOverwrite(TPrompt& prompt, const QString& path) {
    if (!QFileInfo::exists(path)) {
        return true;
    }
    return prompt.Confirm(QStringLiteral("Save file"),
                          QStringLiteral("File already exists, overwrite?"));
}

QString AskSaveName(TPrompt& prompt, const TFileDialogOptions& options) {
    const QString name = prompt.SaveFileName(options);
    if (name.isEmpty() || !ConfirmOverwrite(prompt, name)) {
        return {};
    }
    return name;
}

QString AskOpenName(TPrompt& prompt, const QString& filter, const QString& ext) {
    const QString name = prompt.OpenFileName({filter, {}, {}});
    if (name.isEmpty() || !HasExactExtension(name, ext)) {
        return {};
    }
    return name;
}
