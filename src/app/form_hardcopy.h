#pragma once

#include "app/platform.h"
#include "db/db_module.h"
#include "db/result_set.h"
#include "db/value.h"

#include <QDateTime>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QTableView;
class QWebEngineView;

namespace hc::clients {
class ClientGridModel;
}
namespace hc::printing {
class BrowserEngine;
class PrintQueue;
}

namespace hc::app {

class Shape;
class Timer;

// A dynamic array of text that is either erased (no elements at all) or
// holds elements from index 0.
using DynamicArray = std::optional<std::vector<QString>>;

// The main window. It owns every control, every procedure of the service and
// all of its state. Its member functions are defined in the folder of the
// subsystem they belong to; the decisions they make are free functions there.
class Form_HardCopy : public QWidget {
    Q_OBJECT
public:
    explicit Form_HardCopy(Platform platform, QWidget *parent = nullptr);
    ~Form_HardCopy() override;

    // --- start-up, preview, exit (src/app) ---
    // Raises hc::Failure when the connection cannot be opened.
    void Form_Load();
    void cmd_View_Click();
    void cmd_Exit_Click();
    // True once the window was closed (Exit, the window frame, a stop
    // signal). A procedure that yields or waits checks it when it resumes and,
    // once true, returns without touching a control; windowClosed() ends its
    // local wait at once.
    bool unloaded() const { return unloaded_; }
    // Runs an event procedure. A failure it does not handle ends the event
    // and is shown to the operator; the event loop never sees it.
    void runEvent(const std::function<void()> &procedure);

    // --- service cycle, scheduling, statistics (src/service) ---
    void cbo_Freq_HardCopy_Click();
    void Reset_Stats();
    QString Get_ElapsedTime(const QDateTime &dtFrom, const QDateTime &dtTo) const;
    void Set_StatsLabels(const db::Value &vTotal, const db::Value &vElapsed, const db::Value &vProcessed,
                         const db::Value &vCompletion, const db::Value &vBatch);

    // --- shared settings and turn-taking (src/coordination) ---
    bool Get_CurrApp_Info(const db::Value &callingApp);
    bool Set_CurrApp_Update(const QString &callingApp);
    QString Set_TimeStamp() const;

    // --- active clients (src/clients) ---
    void Get_ActiveClients(const QString &sFilter);
    void Run_DistribCleanup();
    void opt_FilterRating_Click(qint16 index);

    // --- report request, loading and printing (src/printing) ---
    void Request_ClientReport();
    void Open_Address(const QString &address);
    void cmdGo_Click();
    void Load_ReportPage(const QString &address);
    void Print_Page(const QString &batchId);
    void Delete_Batch(const QString &batchId);
    void cmd_Printer_Click();
    // How the last Print_Page ended.
    enum class PagePrint { NotAsked, Printed, Failed };
    PagePrint lastPagePrint = PagePrint::NotAsked;
    // Every page of the last load came out, its last page included. Only such
    // a batch is deleted, so a print that failed leaves its batch queued.
    bool bBatchPrinted = false;

    // --- login (src/access) ---
    void cmd_Access_Click();

    // --- controls, in the order of the window's control table ---
    QPushButton *cmd_Access = nullptr;
    QGroupBox *Frame_Report = nullptr;
    std::array<QLabel *, 5> lblStats{};
    std::array<QLabel *, 5> lblStatsValue{};
    QPushButton *cmd_Exit = nullptr;
    QPushButton *cmd_View = nullptr;
    QPushButton *cmd_Printer = nullptr;
    QGroupBox *Frame1 = nullptr;
    QLabel *Label6 = nullptr;
    QComboBox *cbo_Freq_HardCopy = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *lbl_BatchStatus = nullptr;
    QProgressBar *pb_BatchStatus = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *lbl_ReadyStatus = nullptr;
    QProgressBar *pb_ReadyStatus = nullptr;
    QWebEngineView *WebBrowser1 = nullptr;
    QGroupBox *Frame_Addr = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *cboAddress = nullptr;
    QPushButton *cmdGo = nullptr;
    QGroupBox *frame_Grid = nullptr;
    QCheckBox *chk_Print = nullptr;
    QTabWidget *SSTab1 = nullptr;
    Shape *shp_runMode = nullptr;
    QLabel *lbl_ServDesc = nullptr;
    QPushButton *cmd_Automation = nullptr;
    QPushButton *cmd_ManualRestart = nullptr;
    QLabel *Label5 = nullptr;
    std::array<QRadioButton *, 4> opt_FilterRating{};
    QTableView *DataGrid1 = nullptr;
    Timer *Timer1 = nullptr;

    // --- module-level variables, in their declaration order ---
    bool bManualPrint = false;
    db::ResultSetPtr rsClients = std::make_shared<db::ResultSet>();
    DynamicArray arrSentContactIds;
    DynamicArray arrSentRecDates;
    bool bBatchDeleted = false;
    qint16 iSentLast = 0;
    qint16 nClientSamples = 0;
    QString sServiceState;
    QString sRatingFilter;
    QDateTime dtNextRun;
    QString sBatchId;
    qint16 nReportsProcessed = 0;
    QString sRatingString;
    QString sLabCode;
    QString sEmpNum;
    QString sCurrApp;
    QString sLastPing;
    QString sLastUpd;
    QString sDelay;
    QString sFreq;

    // --- what the window was given, and the parts built on its controls ---
    const Platform &platform() const { return platform_; }
    db::DbModule &db() { return *db_; }
    // Null until the first active-client query binds the grid.
    clients::ClientGridModel *gridModel() { return gridModel_; }
    // Null when the platform gave no browser engine or print queue.
    printing::BrowserEngine *browser() { return browser_.get(); }
    printing::PrintQueue *printQueue() { return printQueue_.get(); }

signals:
    // Emitted once, when the window is closed.
    void windowClosed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    // Connects each control's events to its procedure through runEvent
    // (src/app/form_hardcopy.cpp; a subsystem adds the lines of its controls
    // there together with their procedures).
    void connectEvents();
    template <typename Sender, typename Signal>
    void connectEvent(Sender *sender, Signal signal, std::function<void()> procedure)
    {
        connect(sender, signal, this, [this, procedure = std::move(procedure)] { runEvent(procedure); });
    }

    Platform platform_;
    std::unique_ptr<db::DbModule> db_;
    clients::ClientGridModel *gridModel_ = nullptr;
    std::unique_ptr<printing::BrowserEngine> browser_;
    std::unique_ptr<printing::PrintQueue> printQueue_;
    bool unloaded_ = false;
};

} // namespace hc::app
