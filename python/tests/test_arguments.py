"""Arguments a C type cannot hold, or of the wrong type, are refused before
anything reaches the controller: ctypes would otherwise keep the low bits
(2**32 + 3 becomes 3, -1 becomes 4294967295)."""
import pytest

import tavrix

BIG = 2**32 + 3

# (call, exception): every call here must raise before sending a frame.
BAD_CALLS = [
    (lambda c: c.set_output(BIG, True), ValueError),
    (lambda c: c.set_output(-1, True), ValueError),
    (lambda c: c.set_output(3, 2), ValueError),
    (lambda c: c.set_output("3", True), TypeError),
    (lambda c: c.set_output(3.0, True), TypeError),
    (lambda c: c.set_output(True, True), TypeError),
    (lambda c: c.input(2**32), ValueError),
    (lambda c: c.set_outputs(0, 7, 256), ValueError),
    (lambda c: c.set_outputs(8, 0, 1), ValueError),
    (lambda c: c.inputs(0, 40), ValueError),
    (lambda c: c.set_analog_out(0, 2**31), ValueError),
    (lambda c: c.set_axis_enable(256), ValueError),
    (lambda c: setattr(c, "timeout_ms", -1), ValueError),
    (lambda c: setattr(c, "timeout_ms", 2**32), ValueError),
    (lambda c: c.execute("?1", timeout_ms=-1), ValueError),
    (lambda c: c.execute("?1", capacity=0), ValueError),
    (lambda c: c.execute(b"?1\0VR(0)=1"), ValueError),
    (lambda c: c.execute(42), TypeError),
    (lambda c: c.execute("?\u20ac"), ValueError),
    (lambda c: c.direct_command("?1", capacity=-5), ValueError),
    (lambda c: c.write_register(0, 65536), ValueError),
    (lambda c: c.write_register(65536, 1), ValueError),
    (lambda c: c.write_registers(0, [1] * 124), ValueError),
    (lambda c: c.write_registers(65535, [1, 2]), ValueError),
    (lambda c: c.read_holding_registers(0, 126), ValueError),
    (lambda c: c.read_holding_registers(0, 0), ValueError),
    (lambda c: c.write_coils(0, "101"), TypeError),
    (lambda c: c.write_longs(0, [2**32]), ValueError),
    (lambda c: c.write_floats(0, [float("nan")]), ValueError),
    (lambda c: c.write_floats(0, [1e39]), ValueError),
    (lambda c: c.read_area("Q", 0, 1), ValueError),
    (lambda c: c.read_area("C", 0, 1), ValueError),
    (lambda c: c.write_area("X", 0, [1]), ValueError),
    (lambda c: c.write_area("D", 0, [70000]), ValueError),
    (lambda c: c.write_array("VR", 0, [1, "2"]), TypeError),
    (lambda c: c.write_array("VR", -1, [1]), ValueError),
    (lambda c: c.variable(None), TypeError),
    (lambda c: c.lock("a" * 16), ValueError),
    (lambda c: c.move_lines([0, 1], [[1.0]]), ValueError),
    (lambda c: c.flash_write(70000, [1.0]), ValueError),
    (lambda c: c.put_bytes("text", "A.BAS"), TypeError),
    (lambda c: c.delete(b"A\0B"), ValueError),
    (lambda c: c.get_bytes("A.BAS", capacity=-1), ValueError),
    (lambda c: c.camera_image(-1), ValueError),
    (lambda c: c.cycle_upload("VR(0)", cycle_ms=-1), ValueError),
    (lambda c: c.cycle_upload("VR(0)", buffer=256), ValueError),
    (lambda c: c.cycle_upload("0bad"), ValueError),
    (lambda c: c.set_print_callback(42), TypeError),
    (lambda c: c.task_state(-1), ValueError),
    (lambda c: c.step(first=2**16), ValueError),
    (lambda c: c.set_station(300), ValueError),
    (lambda c: c.set_resend_policy(2), ValueError),
    (lambda c: c.set_resend_policy(True), ValueError),
    (lambda c: c.set_resend_policy(tavrix.RESEND_ADAPTIVE, floor_ms=0), ValueError),
    (lambda c: c.set_resend_policy(tavrix.RESEND_ADAPTIVE, floor_ms=20, cap_ms=10), ValueError),
    (lambda c: c.set_resend_policy(tavrix.RESEND_ADAPTIVE, cap_ms=60001), ValueError),
    (lambda c: c.set_resend_policy(tavrix.RESEND_ADAPTIVE, cap_ms="9"), TypeError),
]


@pytest.fixture
def sent_frames(ctl):
    frames = []
    tavrix.set_trace(lambda e: frames.append(e) if e.kind == tavrix.TRACE_SENT else None)
    yield frames
    tavrix.set_trace(None)


@pytest.mark.parametrize("call, error", BAD_CALLS)
def test_bad_arguments_raise_and_send_nothing(ctl, sent_frames, call, error):
    with pytest.raises(error):
        call(ctl)
    assert sent_frames == []


def test_the_wrapping_values_reach_nothing(ctl):
    # 2**32 + 3 must not switch output 3, nor -1 become a 49-day budget.
    ctl.set_output(3, False)
    with pytest.raises(ValueError):
        ctl.set_output(BIG, True)
    assert not ctl.output(3)
    before = ctl.timeout_ms
    with pytest.raises(ValueError):
        ctl.timeout_ms = -1
    assert ctl.timeout_ms == before


@pytest.mark.parametrize("call, error", [
    (lambda: tavrix.search(time_ms=-1), ValueError),
    (lambda: tavrix.search(time_ms=2**32), ValueError),
    (lambda: tavrix.search(capacity=0), ValueError),
    (lambda: tavrix.set_trace(42), TypeError),
    (lambda: tavrix.set_trace(print, debug_level=-1), ValueError),
    (lambda: tavrix.set_serial_defaults(parity=5), ValueError),
    (lambda: tavrix.set_serial_station(255 + 1), ValueError),
    (lambda: tavrix.Controller.open("127.0.0.300"), ValueError),
    (lambda: tavrix.Controller.open("COM"), ValueError),
    (lambda: tavrix.Controller.open("localhost"), ValueError),
    (lambda: tavrix.Controller.open(2130706453), TypeError),
    (lambda: tavrix.Controller.open("127.0.0.21", timeout_ms=-1), ValueError),
    (lambda: tavrix.Controller.open("COM3", probe_ms=100), ValueError),
    (lambda: tavrix.Controller.open_serial(0), ValueError),
    (lambda: tavrix.Controller.open_serial(1025), ValueError),
    (lambda: tavrix.Controller.open_ethernet(2**32), ValueError),
    (lambda: tavrix.Controller.open_ethernet("COM1"), ValueError),
    (lambda: tavrix.Controller.search_serial(5, 2), ValueError),
    (lambda: tavrix.Controller.open_pci(-1), ValueError),
    (lambda: tavrix.string_hash(12), TypeError),
    (lambda: tavrix.hmi_encode("text"), TypeError),
    (lambda: tavrix.make_nar("demo.npj", "demo.nar", word=-1), ValueError),
], ids=lambda v: getattr(v, "__name__", str(v)))
def test_module_functions_check_their_arguments(call, error):
    with pytest.raises(error):
        call()


def test_a_refused_trace_callback_leaves_the_previous_one(ctl):
    events = []
    tavrix.set_trace(events.append)
    try:
        with pytest.raises(TypeError):
            tavrix.set_trace(42)
        ctl.state
        assert events, "the earlier callback still receives frames"
    finally:
        tavrix.set_trace(None)
