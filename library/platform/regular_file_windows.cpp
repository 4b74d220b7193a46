#include "platform/regular_file_windows.h"

namespace vostrel::platform {

bool isRegularFile(HANDLE file) {
    if (::GetFileType(file) != FILE_TYPE_DISK) return false;
    FILE_ATTRIBUTE_TAG_INFO info{};
    if (!::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &info, sizeof info)) return false;
    if ((info.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    return (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 || !IsReparseTagNameSurrogate(info.ReparseTag);
}

}  // namespace vostrel::platform
