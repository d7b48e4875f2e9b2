#include "SetupXmlVocabulary.h"

const SetupXmlVocabulary& Vocabulary()
{
    static const SetupXmlVocabulary vocabulary;
    return vocabulary;
}
