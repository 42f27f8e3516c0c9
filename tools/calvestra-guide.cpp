// calvestra-guide: renders the user guide (docs/user-guide.md and its pictures) at build
// time, into the PDF that the menu's "Guida" opens (served by calvestra-service) and a
// single HTML page, pictures included, for the documentation folder.
//
//   calvestra-guide GUIDE.md OUT.pdf OUT.html

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QTextStream>
#include <QUrl>

namespace {

// Widest picture on the page, in the layout's 96-dpi pixels (A4 less 20 mm margins is 642).
constexpr double kMaxPictureWidth = 600.0;

bool save(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

// Loads the pictures into the document (printing lays out a copy of it, which would not
// find them by itself) and draws those wider than the page at the page's width.
void addPictures(QTextDocument &document, const QString &folder)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat format = fragment.charFormat().toImageFormat();
            const QImage picture(folder + QLatin1Char('/') + format.name());
            if (picture.isNull()) {
                QTextStream(stderr) << "missing picture " << format.name() << '\n';
                continue;
            }
            document.addResource(QTextDocument::ImageResource, QUrl(format.name()), picture);
            if (picture.width() <= kMaxPictureWidth)
                continue;
            format.setWidth(kMaxPictureWidth);
            format.setHeight(kMaxPictureWidth * picture.height() / picture.width());
            QTextCursor cursor(&document);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
        }
    }
}

// The HTML with every picture inside it, so that the page is one file.
QString inlinePictures(QString html, const QString &folder)
{
    static const QRegularExpression source(QStringLiteral("src=\"([^\":]+\\.png)\""));
    QRegularExpressionMatch match;
    for (qsizetype from = 0; (match = source.match(html, from)).hasMatch();) {
        QFile picture(folder + QLatin1Char('/') + match.captured(1));
        QString replacement = match.captured(0);
        if (picture.open(QIODevice::ReadOnly))
            replacement = QStringLiteral("src=\"data:image/png;base64,%1\"").arg(QString::fromLatin1(picture.readAll().toBase64()));
        html.replace(match.capturedStart(), match.capturedLength(), replacement);
        from = match.capturedStart() + replacement.size();
    }
    return html;
}

}  // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        QTextStream(stderr) << "usage: calvestra-guide GUIDE.md OUT.pdf OUT.html\n";
        return 2;
    }
    QFile markdown(args.at(1));
    if (!markdown.open(QIODevice::ReadOnly)) {
        QTextStream(stderr) << "cannot read " << args.at(1) << '\n';
        return 1;
    }
    const QString folder = QFileInfo(args.at(1)).absolutePath();
    QTextDocument document;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10);
    document.setDefaultFont(font);
    document.setMarkdown(QString::fromUtf8(markdown.readAll()));
    document.setMetaInformation(QTextDocument::DocumentTitle, QStringLiteral("Calvestra user guide"));

    const QString html = inlinePictures(document.toHtml(), folder);
    addPictures(document, folder);

    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setTitle(QStringLiteral("Calvestra user guide"));
        writer.setCreator(QStringLiteral("Calvestra"));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 20, 20, 20),
                                         QPageLayout::Millimeter));
        writer.setResolution(300);
        document.print(&writer);
    }
    if (!save(args.at(2), pdf.data()) || !save(args.at(3), html.toUtf8())) {
        QTextStream(stderr) << "cannot write the guide\n";
        return 1;
    }
    return 0;
}
