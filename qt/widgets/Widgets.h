#pragma once
// Every typed Kyv widget and their catalog in one include.
#include "kyv/qt/FoursegWidget.h"
#include "kyv/qt/HeartBeatWidget.h"
#include "kyv/qt/HstatWidget.h"
#include "kyv/qt/KyvMovingBarWidget.h"
#include "kyv/qt/KyvMultiBarWidget.h"
#include "kyv/qt/KyvvstatWidget.h"
#include "kyv/qt/SixsegWidget.h"
#include "kyv/qt/SsegWidget.h"
#include "kyv/qt/TypedWidget.h"
#include "kyv/qt/WidgetCatalog.h"
