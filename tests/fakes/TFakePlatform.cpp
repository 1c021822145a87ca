#include "fakes/TFakePlatform.h"
