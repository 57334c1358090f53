#include "printing/browser_engine.h"

#include <QPrinter>

namespace hc::printing {

QPageLayout defaultPageLayout()
{
    QPrinter printer;
    QPageLayout layout = printer.pageLayout();
    layout.setOrientation(QPageLayout::Portrait);
    layout.setPageSize(QPageSize(QPageSize::A4));
    return layout;
}

BrowserEngine::BrowserEngine(QObject *parent) : QObject(parent), pageLayout_(defaultPageLayout())
{
}

BrowserEngine::~BrowserEngine() = default;

} // namespace hc::printing
