#include "app/folderpath.h"

QByteArray ExtractFolderAt(const QByteArray &path, std::string_view separators)
{
    for (qsizetype end = path.size(); end > 0; --end) {
        if (separators.find(path.at(end - 1)) != std::string_view::npos)
            return path.left(end);
    }
    return {};
}
