#pragma once

#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>

// A frameless scroll area that asks for its widget's whole size: a window shows the contents
// without scroll bars where the screen has room, and scrolls them where it has not (a small screen
// or a large scale), so every control stays reachable.
class FittingScrollArea : public QScrollArea {
public:
    explicit FittingScrollArea(QWidget* content, QWidget* parent = nullptr)
        : QScrollArea(parent)
    {
        setFrameShape(QFrame::NoFrame);
        // The controls inside take the focus; the area scrolls to the one that has it.
        setFocusPolicy(Qt::NoFocus);
        setWidgetResizable(true);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        setWidget(content);
    }

    QSize sizeHint() const override
    {
        return widget() ? widget()->sizeHint().expandedTo(widget()->minimumSizeHint())
                        : QScrollArea::sizeHint();
    }

    // Room for a scroll bar and a few lines: the rest scrolls.
    QSize minimumSizeHint() const override
    {
        const int line = fontMetrics().height();
        const int bar = verticalScrollBar()->sizeHint().width();
        const QSize content = widget() ? widget()->minimumSizeHint() : QSize();
        return QSize(std::min(content.width(), 12 * line) + bar, std::min(content.height(), 4 * line) + bar);
    }
};
