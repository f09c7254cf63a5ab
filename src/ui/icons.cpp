#include "ui/icons.h"

#include <QString>

// Outside the namespace: the macro declares a function of the global namespace.
static void RegisterQuillonResources() {
  Q_INIT_RESOURCE(quillon);
}

namespace quillon {

namespace {

QIcon FromResource(const QString& name) {
  LoadUiResources();
  return QIcon(QStringLiteral(":/icons/") + name + QStringLiteral(".svg"));
}

}  // namespace

void LoadUiResources() {
  static const bool loaded = [] {
    RegisterQuillonResources();
    return true;
  }();
  (void)loaded;
}

QIcon AppIcon() {
  return FromResource(QStringLiteral("quillon"));
}

QIcon ButtonIcon(const char* name) {
  return FromResource(QString::fromLatin1(name));
}

QIcon SourceIcon(int kind) {
  switch (kind) {
    case 0:
      return FromResource(QStringLiteral("disk"));
    case 1:
      return FromResource(QStringLiteral("image-file"));
    default:
      return FromResource(QStringLiteral("drive"));
  }
}

QIcon RootFolderIcon() {
  return FromResource(QStringLiteral("local-folders"));
}

QIcon MailFolderIcon() {
  return FromResource(QStringLiteral("mail-box"));
}

}  // namespace quillon
