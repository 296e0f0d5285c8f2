#include "calibration/forms/CalibrationToolForm.h"

#include "core/Errors.h"
#include "core/SpectrumTextFile.h"
#include "plots/CalibrationPlots.h"
#include "widgets/Controls.h"
#include "widgets/PaintBox.h"
#include "widgets/WindowStyle.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QFrame>
#include <QHeaderView>
#include <QIcon>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTranslator>

#include <algorithm>
#include <exception>

namespace {

constexpr int GlyphSize = 32;
constexpr int GridColumns = 4;
constexpr int GridRowHeight = 24;
const QColor FixedRowColour(240, 240, 240);

// The glyphs of the three large buttons, drawn here so the program carries no
// image files.
QPixmap NewGlyph() {
    QPixmap pixmap(GlyphSize, GlyphSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A folder with a small spectrum in it: open a spectrum text file.
QIcon OpenSpectrumGlyph() {
    QPixmap pixmap = NewGlyph();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(128, 96, 0), 1.5));
    p.setBrush(QColor(240, 200, 80));
    QPainterPath folder;
    folder.moveTo(2, 8);
    folder.lineTo(11, 8);
    folder.lineTo(14, 11);
    folder.lineTo(30, 11);
    folder.lineTo(30, 28);
    folder.lineTo(2, 28);
    folder.closeSubpath();
    p.drawPath(folder);
    p.setPen(QPen(Qt::black, 2));
    const int heights[] = {2, 3, 5, 9, 13, 8, 4, 3, 6, 3, 2};
    for (int i = 0; i < 11; ++i) {
        const int x = 6 + 2 * i;
        p.drawLine(x, 26, x, 26 - heights[i]);
    }
    return QIcon(pixmap);
}

// A closed book with a gamma on its cover: open a nuclide library file.
QIcon OpenLibraryGlyph() {
    QPixmap pixmap = NewGlyph();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 0, 96), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8, 5, 20, 24));
    p.setBrush(QColor(40, 80, 200));
    p.drawRect(QRectF(5, 3, 20, 24));
    p.setPen(QPen(Qt::white, 2));
    QPainterPath gamma;
    gamma.moveTo(10, 10);
    gamma.cubicTo(13, 9, 14, 12, 15, 16);
    gamma.lineTo(15, 23);
    gamma.moveTo(20, 9);
    gamma.cubicTo(17, 12, 15, 16, 15, 18);
    p.setBrush(Qt::NoBrush);
    p.drawPath(gamma);
    return QIcon(pixmap);
}

// A table crossed out in red: remove all calibration points.
QIcon ClearPointsGlyph() {
    QPixmap pixmap = NewGlyph();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(64, 64, 64), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 5.5, 25, 21));
    for (int y = 11; y < 27; y += 5) {
        p.drawLine(QPointF(3.5, y + 0.5), QPointF(28.5, y + 0.5));
    }
    p.drawLine(QPointF(12.5, 5.5), QPointF(12.5, 26.5));
    p.setPen(QPen(QColor(220, 0, 0), 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(8, 8, 24, 24);
    p.drawLine(24, 8, 8, 24);
    return QIcon(pixmap);
}

QPushButton* MakeGlyphButton(QWidget* parent, const char* name, const QIcon& glyph,
                             const QRect& geometry) {
    QPushButton* button = MakeButton(parent, name, QString(), geometry);
    button->setIcon(glyph);
    button->setIconSize(QSize(GlyphSize, GlyphSize));
    return button;
}

QLineEdit* MakePeakEdit(QWidget* parent, const char* name, int x) {
    QLineEdit* edit = MakeReadOnlyEdit(parent, QString());
    edit->setObjectName(name);
    edit->setGeometry(x, 569, 110, 21);
    return edit;
}

TPaintBox* MakePaintBox(QWidget* parent, const char* name, const QRect& geometry) {
    auto* box = new TPaintBox(parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    return box;
}

// A number longer than its edit shows its leading digits.
void ShowFromStart(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    edit->setCursorPosition(0);
}

// Sets the text of one grid cell, creating its item when needed.
void SetCell(QTableWidget* grid, int row, int column, const QString& text, bool fixed) {
    QTableWidgetItem* item = grid->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        grid->setItem(row, column, item);
    }
    item->setText(text);
    item->setFlags(fixed ? Qt::ItemIsEnabled : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setBackground(fixed ? QBrush(FixedRowColour) : QBrush());
}

} // namespace

TCalibrationToolForm::TCalibrationToolForm(TPrompt& prompt, char decimalSeparator, QWidget* parent)
    : QDialog(parent), Prompt(prompt), CalTool(decimalSeparator) {
    setObjectName("CalibrationToolForm");
    setWindowTitle(tr("dCALIBRATION"));
    ApplyWindowStyle(this);
    setFixedSize(1043, 597);
    CreateControls();
    ShowState();
}

void TCalibrationToolForm::CreateControls() {
    // The bevel first, so that the view controls lie over it.
    auto* bevel = new QFrame(this);
    bevel->setObjectName("Bevel1");
    bevel->setFrameShape(QFrame::Box);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(416, 8, 202, 50);

    OpenSpectrumButton =
        MakeGlyphButton(this, "OpenSpectrumButton", OpenSpectrumGlyph(), QRect(8, 8, 50, 50));
    OpenLibButton =
        MakeGlyphButton(this, "OpenLibButton", OpenLibraryGlyph(), QRect(64, 8, 50, 50));
    ClearCalPointsButton =
        MakeGlyphButton(this, "ClearCalPointsButton", ClearPointsGlyph(), QRect(120, 8, 50, 50));

    MakeLabel(this, "Label4", tr("Spectrum view contol"), 464, 10);
    LinLogCheckBox = new QCheckBox(tr("lin/log"), this);
    LinLogCheckBox->setObjectName("LinLogCheckBox");
    LinLogCheckBox->move(424, 27);
    LinLogCheckBox->adjustSize();
    RoiShiftLeftButton = MakeButton(this, "RoiShiftLeftButton", "<", QRect(491, 25, 25, 25));
    RoiShiftRightButton = MakeButton(this, "RoiShiftRightButton", ">", QRect(522, 25, 25, 25));
    BiggerRoiButton = MakeButton(this, "BiggerRoiButton", "<>", QRect(553, 25, 25, 25));
    SmallerRoiButton = MakeButton(this, "SmallerRoiButton", "><", QRect(584, 25, 25, 25));

    ApplyButton = MakeButton(this, "ApplyButton", tr("OK"), QRect(982, 8, 50, 50));
    QFont okFont(QStringLiteral("Tahoma"));
    okFont.setBold(true);
    okFont.setPixelSize(19);
    ApplyButton->setFont(okFont);
    ApplyButton->setEnabled(false);

    SpectrumPaintBox = MakePaintBox(this, "SpectrumPaintBox", QRect(8, 66, 1024, 166));
    SpectrumPaintBox->setCursor(Qt::ArrowCursor);
    SpectrumPaintBox->installEventFilter(this);
    SpectrumPaintBox->OnPaint = [this](QPainter& p, const QRect& r) {
        DrawToolSpectrum(CalTool, LinLogCheckBox->isChecked(), SelectedPoint(), p, r);
    };
    PeakPaintBox = MakePaintBox(this, "PeakPaintBox", QRect(8, 244, 350, 300));
    PeakPaintBox->OnPaint = [this](QPainter& p, const QRect& r) { DrawToolPeak(CalTool, p, r); };
    RegressionPaintBox = MakePaintBox(this, "RegressionPaintBox", QRect(730, 244, 302, 345));
    RegressionPaintBox->OnPaint = [this](QPainter& p, const QRect& r) {
        DrawRegression(CalTool, SelectedPoint(), p, r);
    };

    MakeLabel(this, "Label1", tr("Position (Channel)"), 8, 550);
    MakeLabel(this, "Label2", tr("Sigma (Channels)"), 130, 550);
    MakeLabel(this, "Label3", tr("FWHM [%]"), 248, 550);
    PeakPositionEdit = MakePeakEdit(this, "PeakPositionEdit", 8);
    PeakWidthEdit = MakePeakEdit(this, "PeakWidthEdit", 130);
    FWHMEdit = MakePeakEdit(this, "FWHMEdit", 248);

    LibListBox = MakeList(this, "LibListBox", QRect(370, 244, 130, 345));
    LibListBox->setToolTip(tr("Double click to add calibration point"));

    CalPointsStringGrid = new QTableWidget(1, GridColumns, this);
    CalPointsStringGrid->setObjectName("CalPointsStringGrid");
    CalPointsStringGrid->setGeometry(510, 244, 210, 190);
    CalPointsStringGrid->horizontalHeader()->hide();
    CalPointsStringGrid->verticalHeader()->hide();
    CalPointsStringGrid->horizontalHeader()->setDefaultSectionSize(50);
    CalPointsStringGrid->verticalHeader()->setDefaultSectionSize(GridRowHeight);
    CalPointsStringGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    CalPointsStringGrid->setWordWrap(false); // one line per cell, cut at its border
    CalPointsStringGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    CalPointsStringGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    CalPointsStringGrid->setToolTip(tr("Double click to remove calibration point"));

    ResultsMemo = new QPlainTextEdit(this);
    ResultsMemo->setObjectName("ResultsMemo");
    ResultsMemo->setGeometry(510, 439, 210, 150);
    ResultsMemo->setReadOnly(true);
    ResultsMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ResultsMemo->setLineWrapMode(QPlainTextEdit::NoWrap);

    connect(OpenSpectrumButton, &QPushButton::clicked, this,
            &TCalibrationToolForm::OpenSpectrumButtonClick);
    connect(LinLogCheckBox, &QCheckBox::clicked, this, &TCalibrationToolForm::LinLogCheckBoxClick);
    connect(RoiShiftLeftButton, &QPushButton::clicked, this,
            &TCalibrationToolForm::RoiShiftLeftButtonClick);
    connect(RoiShiftRightButton, &QPushButton::clicked, this,
            &TCalibrationToolForm::RoiShiftRightButtonClick);
    connect(BiggerRoiButton, &QPushButton::clicked, this,
            &TCalibrationToolForm::BiggerRoiButtonClick);
    connect(SmallerRoiButton, &QPushButton::clicked, this,
            &TCalibrationToolForm::SmallerRoiButtonClick);
    connect(OpenLibButton, &QPushButton::clicked, this, &TCalibrationToolForm::OpenLibButtonClick);
    connect(LibListBox, &QListWidget::itemDoubleClicked, this,
            &TCalibrationToolForm::LibListBoxDblClick);
    connect(CalPointsStringGrid, &QTableWidget::cellClicked, this,
            &TCalibrationToolForm::CalPointsStringGridClick);
    // The keyboard moves the selected point too; the views follow it.
    connect(CalPointsStringGrid, &QTableWidget::currentCellChanged, this,
            &TCalibrationToolForm::CalPointsStringGridClick);
    connect(CalPointsStringGrid, &QTableWidget::cellDoubleClicked, this,
            &TCalibrationToolForm::CalPointsStringGridDblClick);
    connect(ClearCalPointsButton, &QPushButton::clicked, this,
            &TCalibrationToolForm::ClearCalPointsButtonClick);
    connect(ApplyButton, &QPushButton::clicked, this, &TCalibrationToolForm::ApplyButtonClick);
}

bool TCalibrationToolForm::CalibrateSample(TSampleFile& sample) {
    CalTool.LoadSampleSpectrum(sample);
    CalTool.TakeCandidates(sample.PeakList);
    CalTool.Memo = CalTool.PresentCalibrationMemo(sample);
    ShowCandidates();
    ShowState();
    if (exec() != QDialog::Accepted) {
        return false;
    }
    CalTool.ApplyTo(sample);
    return true;
}

int TCalibrationToolForm::SelectedPoint() const {
    const int row = CalPointsStringGrid->currentRow();
    const int points = static_cast<int>(CalTool.Points.size());
    return row >= 1 && row <= points ? row - 1 : -1;
}

bool TCalibrationToolForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == SpectrumPaintBox && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        SpectrumPaintBoxMouseDown(mouse->button(), mouse->position().toPoint().x());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

template <typename F> void TCalibrationToolForm::RunHandler(F call) {
    try {
        call();
    } catch (const std::exception& e) {
        // A singular fit or a text file that is not a spectrum ends the
        // handler; the window carries on with what the tool holds now.
        Prompt.ShowMessage(QString::fromUtf8(e.what()));
    }
    ShowState();
}

// --- Controls from the tool's fields -------------------------------------------

void TCalibrationToolForm::ShowCandidates() {
    LibListBox->clear();
    LibListBox->addItems(CalTool.CandidateLines);
}

void TCalibrationToolForm::ShowPoints() {
    const int points = static_cast<int>(CalTool.Points.size());
    const int previousRow = CalPointsStringGrid->currentRow();
    const bool fixedHeader = points > 0;
    CalPointsStringGrid->setRowCount(points + 1);
    const QStringList header = CalTool.HeaderShown ? TCalibrationTool::GridHeader() : QStringList();
    for (int c = 0; c < GridColumns; ++c) {
        SetCell(CalPointsStringGrid, 0, c, c < header.size() ? header[c] : QString(), fixedHeader);
    }
    for (int r = 0; r < points; ++r) {
        const TCalPoint& p = CalTool.Points[r];
        const QString cells[GridColumns] = {p.Name, p.Energy, p.Position, p.Sigma};
        for (int c = 0; c < GridColumns; ++c) {
            SetCell(CalPointsStringGrid, r + 1, c, cells[c], false);
        }
    }
    // As in a grid with a fixed header row, a point is always selected while
    // there are points: the previous one, or the nearest still there.
    if (points > 0) {
        CalPointsStringGrid->setCurrentCell(std::clamp(previousRow, 1, points), 0);
    } else {
        CalPointsStringGrid->setCurrentCell(-1, -1);
    }
}

void TCalibrationToolForm::ShowState() {
    ShowPoints();
    ResultsMemo->setPlainText(CalTool.Memo.join(QLatin1Char('\n')));
    ApplyButton->setEnabled(CalTool.OkEnabled);
    if (ToolPeakShown(CalTool)) {
        ShowFromStart(PeakPositionEdit, CalTool.PositionText());
        ShowFromStart(PeakWidthEdit, CalTool.SigmaText());
        ShowFromStart(FWHMEdit, CalTool.FwhmText().value_or(QString()));
    }
    SpectrumPaintBox->update();
    PeakPaintBox->update();
    RegressionPaintBox->update();
}

// --- Handlers ------------------------------------------------------------------

void TCalibrationToolForm::OpenSpectrumButtonClick() {
    const QString path = Prompt.OpenFileName({});
    if (path.isEmpty()) {
        return;
    }
    RunHandler([&] {
        TFileCalibration calibration{};
        const TTextLayout layout =
            ReadSpectrumTextFile(path, CalTool.DecimalSeparator, CalTool.Spectrum, calibration);
        if (layout != TTextLayout::Unrecognised) {
            setWindowTitle(CalTool.TakeTextSpectrum(layout));
        }
    });
}

void TCalibrationToolForm::SpectrumPaintBoxMouseDown(Qt::MouseButton button, int x) {
    const TMouseButton which = button == Qt::LeftButton    ? TMouseButton::Left
                               : button == Qt::RightButton ? TMouseButton::Right
                                                           : TMouseButton::Other;
    RunHandler([&] { CalTool.MouseDown(which, x); });
}

void TCalibrationToolForm::LinLogCheckBoxClick() {
    SpectrumPaintBox->update();
}

void TCalibrationToolForm::RoiShiftLeftButtonClick() {
    RunHandler([&] { CalTool.ShiftRoiLeft(); });
}

void TCalibrationToolForm::RoiShiftRightButtonClick() {
    RunHandler([&] { CalTool.ShiftRoiRight(); });
}

void TCalibrationToolForm::BiggerRoiButtonClick() {
    RunHandler([&] { CalTool.BiggerRoi(); });
}

void TCalibrationToolForm::SmallerRoiButtonClick() {
    RunHandler([&] { CalTool.SmallerRoi(); });
}

void TCalibrationToolForm::OpenLibButtonClick() {
    const QString path = Prompt.OpenFileName(
        {tr("NaI library files (*.txt)|*.txt"), QStringLiteral("txt"), "NaI_Library.txt"});
    if (path.isEmpty()) {
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return; // a library that cannot be opened changes nothing, silently
    }
    RunHandler([&] { CalTool.TakeLibraryText(file.readAll()); });
    ShowCandidates();
}

void TCalibrationToolForm::LibListBoxDblClick() {
    const int index = LibListBox->currentRow();
    RunHandler([&] { CalTool.AddPoint(index); });
}

void TCalibrationToolForm::CalPointsStringGridClick() {
    SpectrumPaintBox->update();
    RegressionPaintBox->update();
}

void TCalibrationToolForm::CalPointsStringGridDblClick() {
    const int row = CalPointsStringGrid->currentRow();
    if (row <= 0) {
        return;
    }
    RunHandler([&] { CalTool.RemovePoint(row); });
}

void TCalibrationToolForm::ClearCalPointsButtonClick() {
    RunHandler([&] { CalTool.ClearPoints(); });
}

void TCalibrationToolForm::ApplyButtonClick() {
    accept();
}

// --- Translation -------------------------------------------------------------------

bool InstallTranslation(QCoreApplication& app, const QStringList& uiLanguages) {
    if (uiLanguages.isEmpty()) {
        return false;
    }
    const QString first = uiLanguages.first();
    if (first != QLatin1String("de") && !first.startsWith(QLatin1String("de-")) &&
        !first.startsWith(QLatin1String("de_"))) {
        return false;
    }
    auto* translator = new QTranslator(&app);
    if (!translator->load(QString::fromLatin1(GermanCatalogue))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
