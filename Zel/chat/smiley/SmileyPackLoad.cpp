#include "Zel/chat/smiley/SmileyPackLoad.h"

#include "Zel/chat/smiley/SmileyDefinition.h"
#include "ZELCommon/ZELFile.h"
#include "ZELCommon/ZELPath.h"

bool ReadSmileyDefinition(const CZELString& folder, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    CZELFile file(folder + CZELPath::SmileDefFile(), CZELFile::ModeRead);
    if (!file.Open()) return false;
    unsigned long long size = 0;
    if (!file.GetSize(size) || size == 0 || size > kSmileyDefinitionMaxBytes) return false;
    bytes.resize(size_t(size));
    if (file.Read(bytes.data(), int(size)) != int(size)) {
        bytes.clear();
        return false;
    }
    return true;
}

bool LoadSmileyPictures(const CZELString& folder, const CZELArray<CZELString>& gifFiles,
                        std::vector<std::unique_ptr<SmileyPicture>>& pictures, const std::atomic<bool>* stop)
{
    pictures.clear();
    std::vector<unsigned char> definition;
    if (!ReadSmileyDefinition(folder, definition) || gifFiles.GetCount() == 0) return false;

    std::vector<std::vector<CZELString>> lines =
        ParseSmileyDefinition(definition.data(), definition.size(), size_t(gifFiles.GetCount()));
    for (size_t i = 0; i < lines.size(); ++i) {
        if (stop && stop->load()) {
            pictures.clear();
            return false;
        }
        if (lines[i].empty()) continue;  // its codes were all too long
        auto picture = std::make_unique<SmileyPicture>();
        picture->path = folder + gifFiles[int(i)];
        picture->codes = lines[i];
        LoadSmileyFrames(*picture);
        pictures.push_back(std::move(picture));
    }
    return true;
}
