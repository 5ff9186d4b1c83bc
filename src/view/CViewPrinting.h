// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class COstrelView;
class QPrinter;
class QsciPrinter;

// Print and Print Preview of a view: the page of Print Setup, the printer chosen last, the lines
// to print (all of them, or in a paged view the selection's or the screen's), and the light
// look's colours on white paper whatever the screen shows.
class CViewPrinting
{
public:
    explicit CViewPrinting(COstrelView& view) : m_View(view) {}

    void Print();
    void PrintPreview();
    // Prints the lines (-1, -1: all) on the printer as it is set up, in the light look's colours.
    void PrintRange(QsciPrinter& printer, int from, int to);

    // The printer, or the file, a print goes to, and its colour and duplex settings.
    static void CopyPrinterChoice(const QPrinter& from, QPrinter& to);

private:
    // The whole text, the page of Print Setup and white paper, for printing and its preview.
    void Prepare(QsciPrinter& printer);
    void GetPrintedLines(int& from, int& to) const;

    COstrelView& m_View;
};
