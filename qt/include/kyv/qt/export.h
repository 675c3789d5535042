#pragma once
// KYVQT_API marks what libkyvqt exports to the programs built on it.
#define KYVQT_API __attribute__((visibility("default")))
