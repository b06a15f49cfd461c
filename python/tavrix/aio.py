"""The controller's calls for asyncio programs.

Each AsyncController runs its calls one after another on a worker thread of
its own, so a slow controller never blocks the event loop and the calls of
one controller keep their order (as async Modbus clients are used):

    import asyncio
    from tavrix.aio import AsyncController

    async def main():
        async with await AsyncController.open("127.0.0.21") as ctl:
            print(await ctl.execute("?VR(10)"))
            print(await ctl.read_holding_registers(0, 4))
            async for block in ctl.watch("DPOS(0)", 50):
                print(block.values)
                break

    asyncio.run(main())

Every method of Controller is here as a coroutine of the same name and
arguments; its properties are coroutines without arguments
(``await ctl.state()``).
"""
from __future__ import annotations

import asyncio
import concurrent.futures
import functools
from typing import Any, AsyncIterator, Dict, Callable, Concatenate, Coroutine, Optional, ParamSpec, TypeVar

from . import _args as A
from ._cycle import CycleUpload, Items, WatchBlock, item_columns
from ._library import INVALID_HANDLE_VALUE
from .controller import Controller, SoftVersion
from .errors import CH_NO_REPLY, ERR_INVALID_HANDLE, TavrixError

P = ParamSpec("P")
R = TypeVar("R")


def _async(method: Callable[Concatenate[Controller, P], R]) -> Callable[
        Concatenate[AsyncController, P], Coroutine[Any, Any, R]]:
    """The coroutine form of a Controller method: the call runs on the
    controller's worker thread."""

    @functools.wraps(method)
    async def call(self: AsyncController, /, *args: P.args, **kwargs: P.kwargs) -> R:
        return await self._run(functools.partial(method, self.controller, *args, **kwargs))

    return call


def _property(name: str) -> Callable[[AsyncController], Coroutine[Any, Any, Any]]:
    async def read(self: AsyncController) -> Any:
        return await self._run(lambda: getattr(self.controller, name))

    read.__name__ = name
    read.__doc__ = getattr(Controller, name).__doc__
    return read


class AsyncController:
    """A Controller for asyncio code; see the module's documentation."""

    def __init__(self, controller: Controller,
                 executor: Optional[concurrent.futures.ThreadPoolExecutor] = None) -> None:
        self.controller = controller
        self._closed = False
        self._executor = executor or concurrent.futures.ThreadPoolExecutor(1, thread_name_prefix="tavrix")

    @classmethod
    async def open(cls, address: str, kind: Optional[int] = None, timeout_ms: Optional[int] = None,
                   fast: bool = False, probe_ms: Optional[int] = None) -> AsyncController:
        """Opens `address` as Controller.open() does, on the new controller's worker thread.

            ctl = await AsyncController.open("127.0.0.21")
        """
        executor = concurrent.futures.ThreadPoolExecutor(1, thread_name_prefix="tavrix")
        try:
            controller = await asyncio.get_running_loop().run_in_executor(
                executor, lambda: Controller.open(address, kind, timeout_ms, fast, probe_ms))
        except BaseException:
            executor.shutdown(wait=False)
            raise
        return cls(controller, executor)

    async def _run(self, call: Callable[[], R]) -> R:
        if self._closed:
            # As Controller's calls after close: the handle is refused.
            raise TavrixError(ERR_INVALID_HANDLE, function="AsyncController")
        return await asyncio.get_running_loop().run_in_executor(self._executor, call)

    async def close(self) -> None:
        """Closes the controller (a watch() in progress ends) and the worker thread.

            await ctl.close()
        """
        if self._closed:
            return
        self.controller._stop_cycle()
        try:
            await self._run(self.controller.close)
        finally:
            self._closed = True
            self._executor.shutdown(wait=False)

    async def __aenter__(self) -> AsyncController:
        return self

    async def __aexit__(self, *exc: object) -> None:
        await self.close()

    def __repr__(self) -> str:
        return f"<tavrix.aio.AsyncController {self.controller!r}>"

    async def watch(self, items: Items, cycle_ms: int = 100, buffer: Optional[int] = None,
                    timeout_ms: Optional[int] = None) -> AsyncIterator[WatchBlock]:
        """Yields a WatchBlock for every new block, as Controller.watch()
        does; waiting for blocks keeps the worker thread free for other calls.

            async for block in ctl.watch("DPOS(0) VR(10)", 50): ...
        """
        text, columns = item_columns(items)
        period = A.count("cycle_ms", cycle_ms, 60000)
        ctl = self.controller
        wait_s = (A.count("timeout_ms", timeout_ms, A.U32_MAX) if timeout_ms is not None
                  else max(await self._run(lambda: ctl.timeout_ms), 3 * period)) / 1000
        poll_s = max(0.001, min(period / 4, 20) / 1000)
        upload = await self._run(lambda: ctl.cycle_upload(text, period, buffer))
        loop = asyncio.get_running_loop()
        try:
            seen = 0
            deadline = loop.time() + wait_s
            while not ctl.closed:
                # The count of blocks is kept by the library: reading it
                # sends nothing and needs no worker.
                received = int(ctl._lib.TVX_CycleUpGetRecvTimes(ctl.handle, upload.buffer))
                if ctl.closed or received == INVALID_HANDLE_VALUE and ctl.handle is None:
                    return
                if received == seen:
                    if loop.time() > deadline:
                        raise TavrixError(CH_NO_REPLY, "No cycle-upload block arrived in time.",
                                          "TVX_CycleUpGetRecvTimes")
                    await asyncio.sleep(poll_s)
                    continue
                seen = received
                deadline = loop.time() + wait_s
                values: Dict[str, Optional[float]] = {}
                for name, index, label in columns:
                    try:
                        values[label] = upload.read(name, index)
                    except TavrixError:
                        if ctl.closed:
                            return
                        values[label] = None
                yield WatchBlock(seen, values)
        finally:
            if not ctl.closed:
                try:
                    await self._run(upload.close)
                except (TavrixError, RuntimeError):  # closed meanwhile, or the worker is gone
                    if not ctl.closed:
                        raise

    # Properties of Controller, as coroutines.
    timeout_ms = _property("timeout_ms")
    link_kind = _property("link_kind")
    address = _property("address")
    axes = _property("axes")
    state = _property("state")
    stop_pause_task = _property("stop_pause_task")
    client_id = _property("client_id")
    soft_id = _property("soft_id")
    hard_id = _property("hard_id")
    error = _property("error")
    chip_id = _property("chip_id")
    ip_address = _property("ip_address")
    mac = _property("mac")
    sys_specification = _property("sys_specification")
    command_buffer_space = _property("command_buffer_space")
    progress = _property("progress")
    resend_estimate = _property("resend_estimate")

    async def soft_version(self) -> SoftVersion:
        """Firmware version number, text and date."""
        return await self._run(lambda: self.controller.soft_version)

    async def set_timeout_ms(self, ms: int) -> None:
        """Sets the budget of each request in milliseconds.

            await ctl.set_timeout_ms(2000)
        """
        def assign() -> None:
            self.controller.timeout_ms = ms
        await self._run(assign)

    async def cycle_upload(self, items: Items, cycle_ms: int = 100, buffer: Optional[int] = None) -> CycleUpload:
        """Starts a cycle upload; reading its latest block sends nothing and may be done directly."""
        return await self._run(lambda: self.controller.cycle_upload(items, cycle_ms, buffer))

    # Methods of Controller, as coroutines.
    set_station = _async(Controller.set_station)
    set_resend_policy = _async(Controller.set_resend_policy)
    change_baud = _async(Controller.change_baud)
    set_mac = _async(Controller.set_mac)
    task_state = _async(Controller.task_state)
    task_stack_state = _async(Controller.task_stack_state)
    child_card = _async(Controller.child_card)
    axis_states = _async(Controller.axis_states)
    axis_features = _async(Controller.axis_features)
    set_axis_enable = _async(Controller.set_axis_enable)
    low_format_nand = _async(Controller.low_format_nand)
    return_default = _async(Controller.return_default)
    reset = _async(Controller.reset)
    clear_log = _async(Controller.clear_log)
    input = _async(Controller.input)
    output = _async(Controller.output)
    set_output = _async(Controller.set_output)
    inputs = _async(Controller.inputs)
    outputs = _async(Controller.outputs)
    set_outputs = _async(Controller.set_outputs)
    analog_in = _async(Controller.analog_in)
    analog_out = _async(Controller.analog_out)
    set_analog_out = _async(Controller.set_analog_out)
    execute = _async(Controller.execute)
    execute_no_ack = _async(Controller.execute_no_ack)
    wait_done = _async(Controller.wait_done)
    receive = _async(Controller.receive)
    direct_command = _async(Controller.direct_command)
    # Files, firmware and the three-file store
    put = _async(Controller.put)
    put_bytes = _async(Controller.put_bytes)
    get = _async(Controller.get)
    get_bytes = _async(Controller.get_bytes)
    files = _async(Controller.files)
    delete = _async(Controller.delete)
    file_state = _async(Controller.file_state)
    log = _async(Controller.log)
    get_log = _async(Controller.get_log)
    flash_write = _async(Controller.flash_write)
    flash_read = _async(Controller.flash_read)
    check_firmware = _async(Controller.check_firmware)
    update_firmware = _async(Controller.update_firmware)
    get_firmware_file = _async(Controller.get_firmware_file)
    get_firmware_bytes = _async(Controller.get_firmware_bytes)
    start_hardware_test = _async(Controller.start_hardware_test)
    jump_app = _async(Controller.jump_app)
    jump_boot_loader = _async(Controller.jump_boot_loader)
    store_check = _async(Controller.store_check)
    store_files = _async(Controller.store_files)
    store_current = _async(Controller.store_current)
    store_delete = _async(Controller.store_delete)
    store_clear = _async(Controller.store_clear)
    store_put = _async(Controller.store_put)
    store_put_bytes = _async(Controller.store_put_bytes)
    store_get = _async(Controller.store_get)
    store_get_bytes = _async(Controller.store_get_bytes)
    store_put_ram = _async(Controller.store_put_ram)
    store_put_ram_bytes = _async(Controller.store_put_ram_bytes)
    ram_space = _async(Controller.ram_space)
    ram_download_begin = _async(Controller.ram_download_begin)
    ram_download_part = _async(Controller.ram_download_part)
    ram_download_end = _async(Controller.ram_download_end)
    ram_run = _async(Controller.ram_run)
    # Programs, variables, debugger and locks
    store_project = _async(Controller.store_project)
    run_project = _async(Controller.run_project)
    down_nar = _async(Controller.down_nar)
    down_nar_bytes = _async(Controller.down_nar_bytes)
    run_nar = _async(Controller.run_nar)
    run_nar_bytes = _async(Controller.run_nar_bytes)
    run = _async(Controller.run)
    resume = _async(Controller.resume)
    pause = _async(Controller.pause)
    stop = _async(Controller.stop)
    current_project = _async(Controller.current_project)
    read_array = _async(Controller.read_array)
    write_array = _async(Controller.write_array)
    variable = _async(Controller.variable)
    array_element = _async(Controller.array_element)
    move_lines = _async(Controller.move_lines)
    local_variable = _async(Controller.local_variable)
    add_breakpoint = _async(Controller.add_breakpoint)
    delete_breakpoint = _async(Controller.delete_breakpoint)
    clear_breakpoints = _async(Controller.clear_breakpoints)
    step = _async(Controller.step)
    cancel_online = _async(Controller.cancel_online)
    string_type = _async(Controller.string_type)
    read_messages = _async(Controller.read_messages)
    lock = _async(Controller.lock)
    unlock = _async(Controller.unlock)
    # Modbus and register areas
    read_coils = _async(Controller.read_coils)
    write_coil = _async(Controller.write_coil)
    write_coils = _async(Controller.write_coils)
    read_holding_registers = _async(Controller.read_holding_registers)
    write_register = _async(Controller.write_register)
    write_registers = _async(Controller.write_registers)
    read_longs = _async(Controller.read_longs)
    write_longs = _async(Controller.write_longs)
    read_floats = _async(Controller.read_floats)
    write_floats = _async(Controller.write_floats)
    read_area = _async(Controller.read_area)
    write_area = _async(Controller.write_area)
    read_area_floats = _async(Controller.read_area_floats)
    # Screens and camera
    lcd_screen = _async(Controller.lcd_screen)
    set_lcd_features = _async(Controller.set_lcd_features)
    lcd_encoder = _async(Controller.lcd_encoder)
    camera_info = _async(Controller.camera_info)
    camera_image = _async(Controller.camera_image)
    set_print_callback = _async(Controller.set_print_callback)

    # Not offered here: lcd() and user_lock() hand out objects whose later
    # calls would run outside the worker thread; use the Controller itself
    # (self.controller) from one thread for those.


__all__ = ["AsyncController"]
