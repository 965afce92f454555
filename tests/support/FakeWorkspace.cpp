#include "FakeWorkspace.h"

namespace snipbrook::test {

std::optional<QString> FakeWorkspace::applicationLocation(const QString &bundleIdentifier) const
{
    ++locationLookups;
    const auto it = installed.constFind(bundleIdentifier);
    return it == installed.constEnd() ? std::nullopt : std::optional(*it);
}

QList<InstalledApplication> FakeWorkspace::installedApplications(bool) const
{
    ++installedScans;
    QList<InstalledApplication> apps;
    for (auto it = installed.constBegin(); it != installed.constEnd(); ++it)
        apps.append({it.key(), installedNames.value(it.key(), it.key()), it.value()});
    return apps;
}

std::optional<InstalledApplication> FakeWorkspace::installedApplication(const QString &bundleIdentifier) const
{
    const auto it = installed.constFind(bundleIdentifier);
    if (it == installed.constEnd())
        return std::nullopt;
    return InstalledApplication{bundleIdentifier, installedNames.value(bundleIdentifier, bundleIdentifier), *it};
}

QImage FakeWorkspace::iconForFile(const QString &path) const
{
    // A distinct one-pixel image per path, so tests can tell icons apart.
    QImage image(1, 1, QImage::Format_ARGB32);
    image.fill(static_cast<uint>(qHash(path)));
    return image;
}

} // namespace snipbrook::test
