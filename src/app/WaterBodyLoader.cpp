// CWaterBodyLoader: enter, initialise, warn, come back. The way back is
// kept as a descriptor of the start directory (O_PATH: needs no read
// permission, and survives the directory being renamed meanwhile).
#include "app/WaterBodyLoader.h"

#include <fcntl.h>
#include <unistd.h>

#include "app/Log.h"
#include "config/OptionsParser.h"
#include "sim/WaterBody.h"

namespace
{
// A started body, or null with the scene's refusal logged. The caller is
// inside the scene directory.
std::unique_ptr<CWaterBody> StartBody()
{
    auto body = std::make_unique<CWaterBody>();
    body->bReadFilesAgain = true;
    if (!body->Init())
    {
        CLog::Write("CWaterScene::Init -- Impossible d'initialiser la sc\xE8" "ne");
        return nullptr;
    }
    body->bReadFilesAgain = false;
    COptionsParser::WarnUnreadKeys();
    return body;
}
}  // namespace

std::unique_ptr<CWaterBody> CWaterBodyLoader::Load(const char* directory)
{
    const int start = open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (start < 0)
    {
        CLog::Write("CWaterBodyLoader::Load -- R\xE9pertoire de d\xE9part introuvable");
        return nullptr;
    }
    std::unique_ptr<CWaterBody> body;
    if (chdir(directory != nullptr ? directory : "") != 0)
    {
        CLog::Write("CApplication::Init -- Impossible de changer pour le r\xE9pertoire %s !",
                    directory != nullptr ? directory : "");
    }
    else
    {
        body = StartBody();
        if (fchdir(start) != 0)
        {
            CLog::Write("CWaterBodyLoader::Load -- Impossible de revenir au r\xE9pertoire de d\xE9part");
            body.reset();
        }
    }
    close(start);
    return body;
}
