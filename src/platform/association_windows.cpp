// The file-type association on Windows: default values of four keys under
// HKEY_CLASSES_ROOT. Built only for Windows.
#include "platform/association.h"

#include "platform/errors.h"

#include <QDir>

#include <windows.h>

#include <string>

namespace plovex {

namespace {

enum class Value { OpenCommand, Icon, FileType, Empty };

struct RegistryRow {
    const wchar_t* key;
    Value associate; // what "associate" writes as the key's default value
    Value undo;      // what "undo" writes
};

// In the order they are written. Key names are not case-sensitive.
constexpr RegistryRow kRows[] = {
    {L"ShockWaveFlash.ShockWaveFlash\\Shell\\open\\command", Value::OpenCommand, Value::Empty},
    {L"shockwaveFlash.ShockwaveFlash\\DefaultIcon", Value::Icon, Value::Empty},
    {L".swf", Value::FileType, Value::FileType},
    {L"swf.file\\shell\\open\\command", Value::OpenCommand, Value::Empty},
};

std::wstring text(Value value, const std::wstring& executable)
{
    switch (value) {
    case Value::OpenCommand:
        return executable + L" %1";
    case Value::Icon:
        return executable + L",0"; // the program's own first icon
    case Value::FileType:
        return L"swf.file";
    case Value::Empty:
        break;
    }
    return {};
}

void writeDefault(const wchar_t* key, const std::wstring& value)
{
    HKEY handle = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr);
    if (rc == ERROR_SUCCESS) {
        rc = RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            DWORD((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
    }
    // The default value has no name, hence the empty text in the message.
    if (rc != ERROR_SUCCESS)
        throw PlovexError(QStringLiteral("Failed to set data for '%1'").arg(QString()));
}

class WindowsFileAssociation final : public FileAssociation {
public:
    void associate(const QString& executable) override
    {
        const std::wstring exe = QDir::toNativeSeparators(executable).toStdWString();
        for (const RegistryRow& row : kRows)
            writeDefault(row.key, text(row.associate, exe));
    }
    void dissociate() override
    {
        for (const RegistryRow& row : kRows)
            writeDefault(row.key, text(row.undo, {}));
    }
};

} // namespace

std::unique_ptr<FileAssociation> MakeFileAssociation()
{
    return std::make_unique<WindowsFileAssociation>();
}

} // namespace plovex
