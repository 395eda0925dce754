#pragma once

#include "messages/LinkFinder.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextBrowser>

// The message pane: read-only plain text whose web addresses are links. The
// text is never read as markup. A press of the left button on a link selects
// it and reports it through OnURLClick; the pane never opens anything itself.
class TRichEditURL : public QTextBrowser {
    Q_OBJECT
  public:
    explicit TRichEditURL(QWidget* parent = nullptr);

    // Replaces the whole text (Windows-1252, CR LF line breaks).
    void setAnsiText(const QByteArray& text);
    // Adds text at the end; costs in proportion to the added text.
    void appendAnsiText(const QByteArray& added);
    // The text as shown (UTF-16, line breaks as '\n').
    QString shownText() const { return FShown; }
    // The links of the shown text, in order.
    QList<LinkFinder::TLink> links() const { return FLinks; }

    void DoURLClick(const QString& url);

  Q_SIGNALS:
    void OnURLClick(QObject* sender, const QString& url);

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    QString normalized(const QByteArray& ansi);
    void renderFrom(qsizetype from);
    int linkAt(qsizetype position) const;

    QString FShown;
    QList<LinkFinder::TLink> FLinks;
    bool FEndsWithCR = false;
};
