import pytest

import kyv


@pytest.fixture
def bar():
    control = kyv.create("KyvVStatus.Kyvvstat", width=31, height=236)
    control.Maxlimit = 200
    control.MinThreshold = 20
    control.MaxThreshold = 150
    yield control
    control.close()
