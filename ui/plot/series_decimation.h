#pragma once

#include <QList>
#include <QPointF>
#include <cmath>
#include <cstddef>

#include "plot_history.h"

namespace qe::ui {

// The points [first, end) of one quantity as a line for a chart `columns` pixels wide
// between timeMs `fromMs` and `toMs`. When there are more points than the chart can show,
// each column keeps its lowest and its highest value in the order they came, so that no peak
// is lost; otherwise every point is kept. `out` is refilled, keeping its storage.
template <typename ValueOf>
void decimateInto(QList<QPointF>& out, const RingBuffer<PlotPoint>& points, std::size_t first,
                  std::size_t end, double fromMs, double toMs, int columns, ValueOf valueOf) {
    out.clear();
    if (first >= end) return;
    if (columns < 1) columns = 1;
    if (end - first <= 2 * static_cast<std::size_t>(columns) || toMs <= fromMs) {
        for (std::size_t i = first; i < end; ++i)
            out.append(QPointF(points[i].timeMs, valueOf(points[i])));
        return;
    }
    const double perColumn = (toMs - fromMs) / columns;
    std::size_t i = first;
    while (i < end) {
        const double column = std::floor((points[i].timeMs - fromMs) / perColumn);
        std::size_t lowest = i;
        std::size_t highest = i;
        double low = valueOf(points[i]);
        double high = low;
        for (++i; i < end && std::floor((points[i].timeMs - fromMs) / perColumn) == column; ++i) {
            const double value = valueOf(points[i]);
            if (value < low) low = value, lowest = i;
            if (value > high) high = value, highest = i;
        }
        const std::size_t a = lowest < highest ? lowest : highest;
        const std::size_t b = lowest < highest ? highest : lowest;
        out.append(QPointF(points[a].timeMs, valueOf(points[a])));
        if (b != a) out.append(QPointF(points[b].timeMs, valueOf(points[b])));
    }
}

}  // namespace qe::ui
