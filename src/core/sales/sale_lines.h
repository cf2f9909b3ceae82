// The sale being rung up: detail lines, the visible sale list built from them, totals, deductions.
#pragma once

#include "catalogue/products.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace tarvino {

// One line of the hidden sale detail list; cell 0 is the row text and cells 1-9 the columns
// "Código", "Nombre", "Cantidad", "Costo Unitario Costo", "Costo Total", "Venta Unitaria",
// "Venta Total", "1/0" and "Categoría". Every cell is text.
using SaleLine = QStringList;
using SaleLines = QVector<SaleLine>;

namespace detail {
enum Column { Row = 0, Code, Name, Quantity, UnitCost, TotalCost, UnitSale, TotalSale, Flag, Category };
}

// A cell read as a number (the locale-aware reading); a cell that is no number counts as 0.
double cellNumber(const QString& cell);

// A new detail line for the product and quantity q, with the given row text.
SaleLine makeDetailLine(const Product& product, double q, const QString& rowText);

// Adds q to the first line with the same code text, recomputing its totals, or appends a line.
// Returns what the quantity box of the last entry then shows as "cantidad en lista": the line's
// new quantity, or quantityText as typed when a line was appended.
QString mergeDetailLine(SaleLines& lines, const Product& product, const QString& code, double q,
                        const QString& quantityText);

// The visible sale-list row (8 cells) mirroring a detail line, with its own position as row text.
QStringList saleListRow(const SaleLine& line, int position);

// Sum of "Venta Total" over the lines, in order.
double computeTotal(const SaleLines& lines);

// The caption of the total label for the plain total text, as the sales window shows it.
QString totalCaption(const QString& plainTotal);

// The critical-stock test: stock minus the quantity now in the sale at or below the critical level.
bool isCriticalStock(const QString& stock, const QString& criticalStock, const QString& quantityInSale);

enum class DeductResult { EmptySale, TooMuch, NotInList, Deducted };
// Takes q units of code out of the sale. EmptySale and TooMuch change nothing; otherwise the lines
// whose quantity is no longer above zero are dropped, keeping the others in order. The quantity
// comparison is made in single precision.
DeductResult deductFromSale(SaleLines& lines, const QString& code, double q);

// Keeps the lines whose quantity is above zero, in order, each with row text "1".
void compactSale(SaleLines& lines);

} // namespace tarvino
