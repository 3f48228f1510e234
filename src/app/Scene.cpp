// CScene: the base versions of the scene operations. A scene that asks for
// an event kind in its mask is expected to override that kind's
// operations; reaching a base version is a programming error, logged and
// otherwise ignored.

#include "app/Scene.h"

#include "app/Log.h"

bool CScene::Init()
{
    return false;
}

void CScene::Release()
{
}

void CScene::IdleScene()
{
    CLog::Write("CScene::IdleScene -- Erreur ! Cette fonction n'aurait jamais du \xEA"
                "tre appel\xE9"
                "e!");
}

int CScene::GetEventMask()
{
    return 0;
}

void CScene::KeyboardMove(int, int, int)
{
    CLog::Write("CScene::KeyboardMove -- Erreur ! Cette fonction n'aurait jamais du \xEA"
                "tre appel\xE9"
                "e!");
}

void CScene::KeyStroke(unsigned char, int, int)
{
    CLog::Write("CScene::KeyStroke -- Erreur ! Cette fonction n'aurait jamais du \xEA"
                "tre appel\xE9"
                "e!");
}

void CScene::MouseMove(int, int)
{
    CLog::Write("CScene::MouseMove -- Erreur ! Cette fonction n'aurait jamais du \xEA"
                "tre appel\xE9"
                "e!");
}

void CScene::MouseClic(int, int, int, int)
{
    CLog::Write("CScene::MouseClic -- Erreur ! Cette fonction n'aurait jamais du \xEA"
                "tre appel\xE9"
                "e!");
}
