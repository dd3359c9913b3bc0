#pragma once
// The known road scene as a street, so that plan items can be laid over the survey's frames: the
// carriageway as a road way and the shoulder strips beside it as shoulders, on shared edge vertices, and
// its edge and centre lines as line markings (on the road way's edges, with a marking table of the
// scene's own). The zebra and the stop line are not written: their item types have no classes yet.
#include "tools/make-survey/SurveyScene.h"

#include <memory>

class TStreetStructure;

namespace makesurvey {

// Vertices every StepMetres along the centre line (the last one at its end). Registers the item classes
// first: a street's item lists are made with the classes registered when it is made.
std::unique_ptr<TStreetStructure> MakeSceneStreet(const TRoadScene &scene, double stepMetres = 2);

} // namespace makesurvey
