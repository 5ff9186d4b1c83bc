// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/CViewPrinting.h"

#include <QPrintDialog>
#include <QPrintPreviewDialog>

#include "view/COstrelView.h"
#include "view/ILogWorkspace.h"

namespace {

// Paper is white: while a page is drawn the view takes the light look's colours, and gives
// them back however the drawing ends.
class CLightColoursWhilePrinting
{
public:
    explicit CLightColoursWhilePrinting(COstrelView& view) : m_View(view) { m_View.SetPrintingColours(true); }
    ~CLightColoursWhilePrinting() { m_View.SetPrintingColours(false); }
    CLightColoursWhilePrinting(const CLightColoursWhilePrinting&) = delete;
    CLightColoursWhilePrinting& operator=(const CLightColoursWhilePrinting&) = delete;

private:
    COstrelView& m_View;
};

} // namespace

void CViewPrinting::Prepare(QsciPrinter& printer)
{
    m_View.FinishLoading();
    // The page of Print Setup; half-inch margins unless the user chose others there.
    if (ILogWorkspace* workspace = m_View.GetWorkspace())
        printer.setPageLayout(workspace->GetPrinter().pageLayout());
    else
        printer.setPageMargins(QMarginsF(0.5, 0.5, 0.5, 0.5), QPageLayout::Inch);
    // Printed on white: the cyan of filter output stays on the screen.
    m_View.GetEditor().SetPrintColourMode(QsciScintillaBase::SC_PRINT_COLOURONWHITE);
}

void CViewPrinting::PrintRange(QsciPrinter& printer, int from, int to)
{
    CLightColoursWhilePrinting light(m_View);
    printer.printRange(&m_View, from, to);
}

void CViewPrinting::Print()
{
    QsciPrinter printer(QPrinter::HighResolution);
    Prepare(printer);
    ILogWorkspace* workspace = m_View.GetWorkspace();
    // The printer chosen last time, or in Print Setup; the choice made here is kept for the next.
    if (workspace)
        CopyPrinterChoice(workspace->GetPrinter(), printer);
    QPrintDialog dialog(&printer, &m_View);
    int from = -1;
    int to = -1;
    GetPrintedLines(from, to);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (workspace) {
        QPrinter& kept = workspace->GetPrinter();
        CopyPrinterChoice(printer, kept);
        kept.setPageLayout(printer.pageLayout());
    }
    PrintRange(printer, from, to);
}

void CViewPrinting::CopyPrinterChoice(const QPrinter& from, QPrinter& to)
{
    // A file to print to, or a printer by name; the page goes with the page layout.
    if (from.outputFormat() == QPrinter::PdfFormat) {
        to.setOutputFormat(QPrinter::PdfFormat);
        to.setOutputFileName(from.outputFileName());
    } else if (!from.printerName().isEmpty()) {
        to.setOutputFileName(QString());
        to.setPrinterName(from.printerName());
    }
    to.setColorMode(from.colorMode());
    to.setDuplex(from.duplex());
}

void CViewPrinting::PrintPreview()
{
    QsciPrinter printer(QPrinter::HighResolution);
    Prepare(printer);
    QPrintPreviewDialog preview(&printer, &m_View);
    int from = -1;
    int to = -1;
    GetPrintedLines(from, to);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &m_View,
                     [this, &printer, from, to](QPrinter*) { PrintRange(printer, from, to); });
    preview.exec();
}

void CViewPrinting::GetPrintedLines(int& from, int& to) const
{
    from = -1;
    to = -1;
    if (!m_View.IsPaged())
        return;
    if (m_View.hasSelectedText()) {
        int lineFrom = 0;
        int indexFrom = 0;
        int lineTo = 0;
        int indexTo = 0;
        m_View.getSelection(&lineFrom, &indexFrom, &lineTo, &indexTo);
        from = lineFrom;
        to = lineTo;
        return;
    }
    const auto [first, last] = m_View.GetLinesOnScreen();
    from = static_cast<int>(first);
    to = static_cast<int>(last + 1);
}
