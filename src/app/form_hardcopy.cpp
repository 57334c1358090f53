#include "app/form_hardcopy.h"

#include "app/configuration.h"
#include "app/controls.h"
#include "app/prompts.h"
#include "app/timer.h"
#include "printing/browser_engine.h"
#include "printing/print_queue.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QWebEngineView>

#include <algorithm>
#include <initializer_list>

namespace hc::app {

namespace {

constexpr double kPreviewShownWidth = 17310;
constexpr double kClientHeight = 8805;

// The tab control draws its tabs a third of its width wide, and lets the
// controls it holds lie anywhere on it, the tab strip included: they are its
// own children, placed relative to its top-left corner like those of a frame.
class TabControl : public QTabWidget {
public:
    explicit TabControl(QWidget *parent) : QTabWidget(parent) { setTabBar(new ThirdWidthTabBar(this)); }

private:
    class ThirdWidthTabBar : public QTabBar {
    public:
        explicit ThirdWidthTabBar(QWidget *tabControl) : QTabBar(tabControl), tabControl_(tabControl) {}

    protected:
        QSize tabSizeHint(int index) const override
        {
            QSize size = QTabBar::tabSizeHint(index);
            size.setWidth(std::max(size.width(), tabControl_->width() / 3));
            return size;
        }

    private:
        QWidget *tabControl_;
    };
};

template <typename Control>
Control *placed(Control *control, const TwipsGeometry &geometry)
{
    setGeometryTwips(control, geometry);
    return control;
}

QLabel *label(const QString &caption, QWidget *container, const TwipsGeometry &geometry)
{
    auto *control = placed(new QLabel(caption, container), geometry);
    control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return control;
}

QPushButton *button(const QString &caption, QWidget *container, const TwipsGeometry &geometry)
{
    return placed(new QPushButton(caption, container), geometry);
}

QGroupBox *frame(const QString &caption, QWidget *container, const TwipsGeometry &geometry)
{
    return placed(new QGroupBox(caption, container), geometry);
}

QProgressBar *progressBar(int maximum, QWidget *container, const TwipsGeometry &geometry)
{
    auto *control = placed(new QProgressBar(container), geometry);
    control->setRange(0, maximum);
    control->setValue(0);
    control->setTextVisible(false);
    control->hide();
    return control;
}

struct StatisticsLine {
    const char *tag;
    const char *caption;
    TwipsGeometry geometry;
};

constexpr StatisticsLine kStatisticsLines[] = {
    {"TOTAL_REPORTS", "Total Reports : ", {150, 300, 2100, 315}},
    {"TIME_ELAPSED", "Total Time : ", {150, 630, 2100, 315}},
    {"PROCESSED", "Reports Processed : ", {150, 960, 2100, 315}},
    {"TIME_TOCOMPLETION", "Estimated Completion Time : ", {150, 1320, 2100, 315}},
    {"CURRENT_BATCH_COUNT", "Current Batch Count : ", {120, 1680, 2100, 315}},
};
constexpr double kStatisticsValueWidth = 3825;
constexpr double kStatisticsValueHeight = 345;

struct RatingOption {
    const char *caption;
    const char *tag;
    TwipsGeometry geometry;
};

constexpr RatingOption kRatingOptions[] = {
    {"All", "", {1110, 1410, 855, 315}},
    {"Severe", "Severe", {2040, 1410, 915, 315}},
    {"Abnormal", "Abnormal", {3000, 1410, 1785, 315}},
    {"Custom", "CUSTOM", {4080, 1410, 1785, 315}},
};

} // namespace

Form_HardCopy::Form_HardCopy(Platform platform, QWidget *parent)
    : QWidget(parent), platform_(std::move(platform))
{
    createControls();
    connectEvents();

    db_ = std::make_unique<db::DbModule>(platform_.makeConnection(), [this](const QString &report) {
        if (!unloaded_)
            platform_.prompts->showMessage(this, report);
    });
    if (platform_.makeBrowserEngine)
        browser_ = platform_.makeBrowserEngine(*WebBrowser1);
    if (platform_.makePrintQueue)
        printQueue_ = platform_.makePrintQueue();
}

Form_HardCopy::~Form_HardCopy() = default;

void Form_HardCopy::createControls()
{
    setObjectName(QStringLiteral("Form_HardCopy"));
    setWindowTitle(QStringLiteral("Fennoric HardCopy Distribution System"));
    setGeometryTwips(this, {0, 0, kPreviewShownWidth, kClientHeight});
    // The captions were laid out for an 8.25-point sans serif of Arial's
    // widths; wider fonts would not fit the controls.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    setFont(font);

    cmd_Access = button(QStringLiteral("&Login"), this, {4830, 270, 1455, 345});

    Frame_Report = frame(QStringLiteral("Distribution Statistics"), this, {90, 6600, 6315, 2055});
    for (std::size_t i = 0; i < lblStats.size(); ++i) {
        const StatisticsLine &line = kStatisticsLines[i];
        lblStats[i] = label(QString::fromLatin1(line.caption), Frame_Report, line.geometry);
        setTag(lblStats[i], QString::fromLatin1(line.tag));
        lblStatsValue[i] =
            label(QString(), Frame_Report, {0, 0, kStatisticsValueWidth, kStatisticsValueHeight});
        setTag(lblStatsValue[i], QString::fromLatin1(line.tag));
    }

    cmd_Exit = button(QStringLiteral("E&xit"), this, {4890, 6120, 1455, 375});
    cmd_View = button(QStringLiteral("&Preview >>"), this, {3330, 6120, 1455, 375});
    setTag(cmd_View, QStringLiteral("ON"));
    cmd_View->setEnabled(false);
    cmd_Printer = button(QStringLiteral("P&rinter Options"), this, {120, 6090, 1545, 375});
    cmd_Printer->setEnabled(false);

    Frame1 = frame(QStringLiteral("Distribution Activity Services "), this, {360, 4380, 5775, 1365});
    Label6 = label(QStringLiteral("Refresh Frequency :"), Frame1, {30, 330, 1725, 255});
    cbo_Freq_HardCopy = placed(new QComboBox(Frame1), {1860, 300, 1815, 315});
    cbo_Freq_HardCopy->addItems({QStringLiteral("1 Minute"), QStringLiteral("2 Minutes"), QStringLiteral("5 Minutes"),
                                 QStringLiteral("10 Minutes"), QStringLiteral("15 Minutes"),
                                 QStringLiteral("20 Minutes"), QStringLiteral("Once only")});
    cbo_Freq_HardCopy->setCurrentIndex(-1);
    cbo_Freq_HardCopy->setEnabled(false);
    Label4 = label(QStringLiteral("Batch Status : "), Frame1, {270, 660, 1515, 315});
    lbl_BatchStatus = label(QStringLiteral("Not active"), Frame1, {1890, 690, 1995, 285});
    pb_BatchStatus = progressBar(100, Frame1, {1860, 690, 3615, 225});
    Label2 = label(QStringLiteral("Activity Status : "), Frame1, {270, 1050, 1515, 315});
    lbl_ReadyStatus = label(QStringLiteral("Browser is idle"), Frame1, {1860, 1050, 1995, 285});
    pb_ReadyStatus = progressBar(4, Frame1, {1860, 1050, 3615, 225});

    WebBrowser1 = placed(new QWebEngineView(this), {6540, 810, 10560, 7845});

    Frame_Addr = frame(QString(), this, {6570, 90, 10515, 675});
    Label1 = label(QStringLiteral("Address : "), Frame_Addr, {0, 240, 885, 315});
    cboAddress = placed(new QComboBox(Frame_Addr), {930, 210, 8895, 315});
    cboAddress->setEditable(true);
    cmdGo = button(QStringLiteral("Go"), Frame_Addr, {9930, 210, 405, 315});

    frame_Grid = frame(QStringLiteral("Distribution Services "), this, {90, 90, 6315, 5925});
    SSTab1 = placed(new TabControl(frame_Grid), {150, 330, 6045, 5475});
    SSTab1->addTab(new QWidget, QStringLiteral("Hard Copy"));
    chk_Print = placed(new QCheckBox(QStringLiteral("Print reports"), frame_Grid), {3030, 300, 2055, 315});
    chk_Print->setChecked(true);

    shp_runMode = placed(new Shape(SSTab1), {150, 90, 195, 195});
    shp_runMode->setBackColor(kRed);
    lbl_ServDesc = label(QStringLiteral("Hardcopy services disabled"), SSTab1, {2370, 450, 3495, 285});
    QFont bold = font;
    bold.setBold(true);
    lbl_ServDesc->setFont(bold);
    setBackColor(lbl_ServDesc, kYellow);
    setBackStyle(lbl_ServDesc, BackStyle::Opaque);
    cmd_Automation = button(QStringLiteral("Start Services"), SSTab1, {150, 780, 1455, 345});
    cmd_Automation->setEnabled(false);
    cmd_ManualRestart = button(QStringLiteral("Manual Restart"), SSTab1, {1710, 780, 1455, 345});
    cmd_ManualRestart->hide();
    Label5 = label(QStringLiteral("Print Mode : "), SSTab1, {150, 1440, 1065, 255});
    for (std::size_t i = 0; i < opt_FilterRating.size(); ++i) {
        const RatingOption &option = kRatingOptions[i];
        opt_FilterRating[i] = placed(new QRadioButton(QString::fromLatin1(option.caption), SSTab1), option.geometry);
        setTag(opt_FilterRating[i], QString::fromLatin1(option.tag));
        opt_FilterRating[i]->setEnabled(false);
    }
    DataGrid1 = placed(new QTableView(SSTab1), {120, 1770, 5775, 2055});
    DataGrid1->setToolTip(QStringLiteral("HardCopy Services is disabled"));

    Timer1 = new Timer(this);

    // Each control answers to its name, in messages and when looked up.
    for (auto [control, name] : std::initializer_list<std::pair<QObject *, const char *>>{
             {cmd_Access, "cmd_Access"},
             {Frame_Report, "Frame_Report"},
             {cmd_Exit, "cmd_Exit"},
             {cmd_View, "cmd_View"},
             {cmd_Printer, "cmd_Printer"},
             {Frame1, "Frame1"},
             {Label6, "Label6"},
             {cbo_Freq_HardCopy, "cbo_Freq_HardCopy"},
             {Label4, "Label4"},
             {lbl_BatchStatus, "lbl_BatchStatus"},
             {pb_BatchStatus, "pb_BatchStatus"},
             {Label2, "Label2"},
             {lbl_ReadyStatus, "lbl_ReadyStatus"},
             {pb_ReadyStatus, "pb_ReadyStatus"},
             {WebBrowser1, "WebBrowser1"},
             {Frame_Addr, "Frame_Addr"},
             {Label1, "Label1"},
             {cboAddress, "cboAddress"},
             {cmdGo, "cmdGo"},
             {frame_Grid, "frame_Grid"},
             {chk_Print, "chk_Print"},
             {SSTab1, "SSTab1"},
             {shp_runMode, "shp_runMode"},
             {lbl_ServDesc, "lbl_ServDesc"},
             {cmd_Automation, "cmd_Automation"},
             {cmd_ManualRestart, "cmd_ManualRestart"},
             {Label5, "Label5"},
             {DataGrid1, "DataGrid1"},
             {Timer1, "Timer1"}})
        control->setObjectName(QLatin1String(name));
    for (std::size_t i = 0; i < lblStats.size(); ++i) {
        lblStats[i]->setObjectName(QStringLiteral("lblStats(%1)").arg(i));
        lblStatsValue[i]->setObjectName(QStringLiteral("lblStatsValue(%1)").arg(i));
    }
    for (std::size_t i = 0; i < opt_FilterRating.size(); ++i)
        opt_FilterRating[i]->setObjectName(QStringLiteral("opt_FilterRating(%1)").arg(i));

    // Controls that lie over a sibling container stay on top of it, or the
    // mouse could not reach them: those of the tab control over its strip and
    // page, Print reports over the strip, the activity frame over the
    // services frame, and Login over the services frame.
    for (QWidget *onTab : std::initializer_list<QWidget *>{shp_runMode, lbl_ServDesc, cmd_Automation,
                                                           cmd_ManualRestart, Label5, DataGrid1})
        onTab->raise();
    for (QRadioButton *option : opt_FilterRating)
        option->raise();
    chk_Print->raise();
    Frame1->raise();
    cmd_Access->raise();
}

void Form_HardCopy::connectEvents()
{
    connectEvent(cmd_View, &QPushButton::clicked, [this] { cmd_View_Click(); });
    connectEvent(cmd_Exit, &QPushButton::clicked, [this] { cmd_Exit_Click(); });
    connectEvent(cmd_Access, &QPushButton::clicked, [this] { cmd_Access_Click(); });
    // A selection made by code counts as the operator's choice.
    connectEvent(cbo_Freq_HardCopy, &QComboBox::currentIndexChanged, [this] { cbo_Freq_HardCopy_Click(); });
    for (std::size_t i = 0; i < opt_FilterRating.size(); ++i)
        connectEvent(opt_FilterRating[i], &QRadioButton::clicked, [this, i] { opt_FilterRating_Click(qint16(i)); });
    connectEvent(cmdGo, &QPushButton::clicked, [this] { cmdGo_Click(); });
    connectEvent(cmd_Printer, &QPushButton::clicked, [this] { cmd_Printer_Click(); });
}

void Form_HardCopy::runEvent(const std::function<void()> &procedure)
{
    try {
        procedure();
    } catch (const std::exception &failure) {
        if (!unloaded_)
            platform_.prompts->showMessage(this, QString::fromUtf8(failure.what()));
    }
}

void Form_HardCopy::Form_Load()
{
    db_->sConnect = connectionString(platform_.configuration);
    db_->Open_DB_Connection(db_->sConnect);
    sServiceState = QStringLiteral("IDLE");
    cmd_View_Click();
    iSentLast = 0;
    for (qint16 i = 0; i < qint16(lblStatsValue.size()); ++i) {
        setTopTwips(lblStatsValue[i], topTwips(lblStats[i]));
        setLeftTwips(lblStatsValue[i],
                     static_cast<float>(leftTwips(lblStats[i])) + static_cast<float>(widthTwips(lblStats[i])));
    }
    show();
}

void Form_HardCopy::cmd_View_Click()
{
    const QString viewTag = tag(cmd_View);
    if (viewTag == QLatin1String("OFF") || viewTag.isEmpty()) {
        cmd_View->setText(QStringLiteral("<< Hide Preview"));
        setTag(cmd_View, QStringLiteral("ON"));
        setWidthTwips(this, kPreviewShownWidth);
    } else {
        cmd_View->setText(QStringLiteral("Preview >>"));
        setTag(cmd_View, QStringLiteral("OFF"));
        setWidthTwips(this, leftTwips(WebBrowser1));
    }
}

void Form_HardCopy::cmd_Exit_Click()
{
    close();
}

void Form_HardCopy::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (unloaded_)
        return;
    unloaded_ = true;
    Timer1->setEnabled(false);
    emit windowClosed();
}

} // namespace hc::app

// The meta-object code of this file's classes is built here, not with that of
// the other subsystems, so that linking the window never needs theirs.
#include "moc_form_hardcopy.cpp"
