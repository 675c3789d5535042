"""Events: handlers, their exceptions, and handlers that re-enter or close their control."""
import pytest

import kyv


def test_handlers_run_inside_the_raising_call_and_can_be_removed(bar):
    heard = []
    high = bar.on("maxthreshreached", lambda: heard.append(("high", bar.Maxlimit)))

    @bar.on("NormalOPs")
    def normal():
        heard.append("normal")

    bar.incbar(190)
    bar.incbar(100)
    assert heard == [("high", 200), "normal"]
    bar.off("MaxThreshReached", high)
    bar.incbar(190)
    assert heard == [("high", 200), "normal"]
    with pytest.raises(ValueError):
        bar.off("MaxThreshReached", high)
    bar.off("NormalOPs")
    bar.incbar(100)
    assert len(heard) == 2


def test_a_handler_exception_reaches_the_caller_after_the_call_completes(bar):
    class Boom(Exception):
        pass

    later = []

    def fail():
        raise Boom("from the handler")

    bar.on("MaxThreshReached", fail)
    bar.on("MaxThreshReached", lambda: later.append(1))
    with pytest.raises(Boom):
        bar.incbar(190)
    assert later == []  # the handlers after the failing one are skipped for that call
    # The control finished the call: its picture and state are those of 190.
    assert ("Maxlimit", 200) in bar.save_properties()
    bar.off("MaxThreshReached", fail)
    bar.incbar(195)
    assert later == [1]


def test_a_handler_exception_comes_before_the_methods_own_error():
    trace = kyv.KyvMovingBar()
    trace.MaxLimit = 10

    def fail():
        raise KeyError("handler")

    trace.on("MaxLimitReached", fail)
    with pytest.raises(KeyError):
        trace.MoveBar(20)
    trace.MoveBar(5)


def test_a_handler_may_reenter_its_control(bar):
    seen = []

    def again():
        seen.append(len(seen))
        if len(seen) < 3:
            bar.incbar(190)  # raises the same event inside the handler

    bar.on("MaxThreshReached", again)
    bar.incbar(190)
    assert seen == [0, 1, 2]


def test_an_inner_handler_exception_reaches_the_handler_that_made_the_inner_call(bar):
    caught = []

    def inner():
        raise RuntimeError("inner")

    def outer():
        try:
            bar.incbar(10)  # MinThreshReached -> inner raises
        except RuntimeError as e:
            caught.append(str(e))

    bar.MinThreshold = 20
    bar.on("MaxThreshReached", outer)
    bar.on("MinThreshReached", inner)
    bar.incbar(190)
    assert caught == ["inner"]


def test_a_handler_that_closes_its_control_lets_the_call_finish(bar):
    bar.on("MaxThreshReached", bar.close)
    bar.incbar(190)
    assert bar.closed
    with pytest.raises(kyv.CannotCreateObject):
        bar.incbar(10)


def test_a_handler_that_drops_the_last_reference_is_safe():
    holder = {"bar": kyv.create("KyvVStatus.Kyvvstat")}
    holder["bar"].on("MaxThreshReached", lambda: holder.clear())
    holder["bar"].incbar(50)
    assert holder == {}


def test_a_handler_must_be_callable(bar):
    with pytest.raises(TypeError):
        bar.on("NormalOPs", 3)
