#include "ui/QtPrompt.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QRegularExpression>

void TQtPrompt::ShowMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok,
                    Parent);
    box.exec();
}

bool TQtPrompt::Confirm(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Yes | QMessageBox::No,
                    Parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString TQtPrompt::QtFilter(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString patterns = QString(parts[i + 1]).replace(';', ' ');
        out << (description.contains('(') ? description : description + " (" + patterns + ")");
    }
    return out.join(";;");
}

QString TQtPrompt::FilterSuffix(const QString& chosen, const QString& fallback) {
    static const QRegularExpression single(QStringLiteral("\\(\\*\\.([A-Za-z0-9]+)\\)$"));
    const QRegularExpressionMatch m = single.match(chosen.trimmed());
    return m.hasMatch() ? m.captured(1) : fallback;
}

QString TQtPrompt::RunFileDialog(const TFileDialogOptions& options, bool save) {
    QFileDialog dialog(Parent);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The commands ask before they replace a file themselves.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setNameFilter(QtFilter(options.Filter));
    QString suffix = options.DefaultExtension;
    if (suffix.startsWith('.')) {
        suffix.remove(0, 1);
    }
    dialog.setDefaultSuffix(suffix);
    if (save) {
        // A name typed without extension takes that of the chosen format.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, suffix](const QString& chosen) {
                             dialog.setDefaultSuffix(FilterSuffix(chosen, suffix));
                         });
    }
    if (!LastDirectory.isEmpty()) {
        dialog.setDirectory(LastDirectory);
    }
    if (!options.FileName.isEmpty()) {
        dialog.selectFile(options.FileName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    const QString chosen = dialog.selectedFiles().constFirst();
    LastDirectory = QFileInfo(chosen).absolutePath();
    return chosen;
}

QString TQtPrompt::OpenFileName(const TFileDialogOptions& options) {
    return RunFileDialog(options, false);
}

QString TQtPrompt::SaveFileName(const TFileDialogOptions& options) {
    return RunFileDialog(options, true);
}

bool TQtPrompt::InputText(const QString& caption, const QString& label, QString& value) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(Parent, caption, label, QLineEdit::Normal, value, &ok);
    if (ok) {
        value = text;
    }
    return ok;
}
