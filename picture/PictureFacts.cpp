#include "PictureFacts.h"

#include "GrafikRW.h"

PictureFacts PictureFactsOf(const PictureRecord& picture)
{
    PictureFacts facts;
    if (!picture.Bits || !picture.Info)
        return facts;
    facts.width = QString::number(DIBWidth(picture));
    facts.height = QString::number(DIBHeight(picture));
    facts.colours = QString::number(zweihoch(picture.Info->bmiHeader.biBitCount));
    return facts;
}
