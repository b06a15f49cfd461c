-- Wireshark dissector for the Tavrix controller protocol.
--
-- Decodes the library's request packets (Modbus function 72) and the
-- controller's pushed packets (function 73) inside MBAP datagrams on UDP
-- port 502 and inside RTU frames of serial and PCI captures (the user link
-- type 147 that TAVRIX_TRACE writes for them), the discovery probe and its
-- answer, and hands the standard Modbus functions to Wireshark's own
-- Modbus dissector.
--
-- Use: wireshark -X lua_script:tavrix.lua capture.pcapng, or copy the file
-- into Wireshark's personal plugins folder.

local tavrix = Proto("tavrix", "Tavrix controller protocol")

-- Request codes by name; the test suite checks this list against the
-- library's table of request codes.
local names = {
    [0] = "keepAlive",
    [1] = "state",
    [2] = "appendText",
    [3] = "freeSpace",
    [4] = "fetchAnswer",
    [5] = "direct",
    [7] = "multiLine",
    [100] = "archiveDownload",
    [102] = "archiveRamRun",
    [103] = "run",
    [104] = "pause",
    [105] = "stop",
    [109] = "sysSpecification",
    [110] = "archiveNamedDownload",
    [111] = "currentIp",
    [112] = "clientId",
    [113] = "softId",
    [114] = "hardId",
    [115] = "softVersion",
    [116] = "error",
    [117] = "axisFeatures",
    [118] = "chipId",
    [119] = "axisEnable",
    [120] = "setOutput",
    [121] = "getIn",
    [122] = "getOutput",
    [123] = "setOutAll",
    [124] = "getInAll",
    [125] = "getOutAll",
    [126] = "setDaOut",
    [127] = "getDaOut",
    [128] = "getAIn",
    [129] = "axisStates",
    [130] = "threeFileExists",
    [131] = "threeFileListing",
    [132] = "threeFileRemoveAll",
    [133] = "threeFileDelete",
    [134] = "threeFileDown",
    [135] = "threeFileUp",
    [136] = "threeFileRamDown",
    [137] = "threeFileRamRun",
    [138] = "threeFileRamPart",
    [139] = "threeFileRamSpace",
    [140] = "flashTableDown",
    [141] = "flashTableUp",
    [144] = "registerWrite",
    [145] = "registerRead",
    [146] = "arrayWrite",
    [147] = "arrayRead",
    [148] = "transferState",
    [150] = "lcdMouse",
    [151] = "lcdKey",
    [152] = "lcdVirtualKey",
    [155] = "lcdClose",
    [156] = "lcdOpen",
    [157] = "lcdCheck",
    [158] = "lcdData",
    [165] = "visionImage",
    [167] = "lcdCoder",
    [198] = "firmwareSection",
    [199] = "firmwareCheck",
    [200] = "firmwareDown",
    [201] = "firmwareDownAlternate",
    [202] = "firmwareUp",
    [203] = "lowFormatNand",
    [204] = "resetController",
    [206] = "setMac",
    [207] = "getMac",
    [208] = "listing",
    [209] = "fileDown",
    [210] = "fileUp",
    [211] = "fileDelete",
    [221] = "hardwareTest",
    [222] = "logUp",
    [223] = "clearLog",
    [224] = "enterBootLoader",
    [225] = "startApplication",
    [226] = "serialBaud",
    [227] = "returnDefault",
    [300] = "stepRun",
    [301] = "cancelOnline",
    [302] = "currentProject",
    [306] = "taskState",
    [307] = "fileState",
    [308] = "taskStackState",
    [309] = "stringType",
    [313] = "enumLocal",
    [320] = "childCard",
    [330] = "readMessage",
    [331] = "breakAdd",
    [332] = "breakDelete",
    [333] = "breakClear",
    [399] = "pushedCycleBlock",
    [400] = "pushedText",
    [421] = "firmwarePartDown",
    [427] = "cycleUpload",
    [428] = "cycleForceOnce",
}

local f = tavrix.fields
f.station = ProtoField.uint8("tavrix.station", "Station", base.DEC)
f.func = ProtoField.uint8("tavrix.function", "Function", base.DEC, {[72] = "request", [73] = "pushed"})
f.length = ProtoField.uint16("tavrix.length", "Length", base.DEC)
f.command = ProtoField.uint16("tavrix.command", "Command", base.DEC, names)
f.sequence = ProtoField.uint16("tavrix.sequence", "Sequence", base.DEC)
f.status = ProtoField.int32("tavrix.status", "Status", base.DEC)
f.value = ProtoField.int32("tavrix.value", "Value", base.DEC)
f.args = ProtoField.bytes("tavrix.arguments", "Arguments")
f.data = ProtoField.bytes("tavrix.data", "Data")
f.text = ProtoField.string("tavrix.text", "Text")
f.answer_state = ProtoField.uint8("tavrix.answer_state", "Answer state", base.DEC,
    {[0] = "more text", [2] = "command finished"})
f.free = ProtoField.int32("tavrix.free", "Free command-buffer bytes", base.DEC)
f.block = ProtoField.uint16("tavrix.block", "Block number", base.DEC, {[0] = "start", [65535] = "last"})
f.count = ProtoField.uint16("tavrix.count", "Data bytes", base.DEC)
f.attribute = ProtoField.uint16("tavrix.attribute", "Attribute", base.HEX)
f.total = ProtoField.uint32("tavrix.total", "Total bytes", base.DEC)
f.name = ProtoField.string("tavrix.name", "Name")
f.largest = ProtoField.uint16("tavrix.largest_block", "Largest block", base.DEC)
f.window = ProtoField.uint16("tavrix.window", "Window", base.DEC)
f.file_length = ProtoField.uint32("tavrix.file_length", "File length", base.DEC)
f.mode = ProtoField.uint16("tavrix.mode", "Listing mode", base.HEX, {[0] = "first", [65535] = "next"})
f.entry_size = ProtoField.uint32("tavrix.entry_size", "Entry size", base.DEC)
f.buffer = ProtoField.uint8("tavrix.buffer", "Cycle-upload buffer", base.DEC)
f.probe = ProtoField.string("tavrix.discovery", "Discovery")
f.crc = ProtoField.uint16("tavrix.crc", "CRC", base.HEX)
f.response_in = ProtoField.framenum("tavrix.response_in", "Response in", base.NONE, frametype.RESPONSE)
f.request_in = ProtoField.framenum("tavrix.request_in", "Request in", base.NONE, frametype.REQUEST)
f.response_time = ProtoField.relative_time("tavrix.response_time", "Response time")

local status_expert = ProtoExpert.new("tavrix.status.failed", "Reply with a non-zero status",
    expert.group.RESPONSE_CODE, expert.severity.WARN)
tavrix.experts = {status_expert}

local direction_field = Field.new("frame.packet_flags_direction")
local interface_field = Field.new("frame.interface_id")

-- Transfers that send blocks to the controller, and those that read them.
local downloads = {[100] = true, [102] = true, [110] = true, [140] = true, [209] = true}
local uploads = {[135] = true, [141] = true, [202] = true, [210] = true, [222] = true, [302] = true}

local HEADER = 6        -- length, command, sequence
local REPLY_HEADER = 10 -- and the status

local function zero_terminated(tvb, at, limit)
    local stop = at
    while stop < limit and tvb(stop, 1):uint() ~= 0 do stop = stop + 1 end
    return stop - at
end

local function add_text(tree, tvb, at, limit)
    local n = zero_terminated(tvb, at, limit)
    if n > 0 then tree:add(f.text, tvb(at, n)) end
end

local function add_name(tree, tvb, at, limit)
    if at >= limit then return end
    local n = zero_terminated(tvb, at, limit)
    tree:add(f.name, tvb(at, n))
end

-- The fields of the common requests (arguments from offset 6).
local function request_fields(tree, tvb, command, at, limit)
    local n = limit - at
    if command == 2 or command == 5 then
        if n > 0 then add_text(tree, tvb, at, limit) end
    elseif (downloads[command] or uploads[command]) and n >= 2 then
        local block = tvb(at, 2):le_uint()
        tree:add_le(f.block, tvb(at, 2))
        if downloads[command] and block == 0 and n >= 8 then
            tree:add_le(f.attribute, tvb(at + 2, 2))
            tree:add_le(f.total, tvb(at + 4, 4))
            add_name(tree, tvb, at + 8, limit)
        elseif downloads[command] and n >= 4 then
            tree:add_le(f.count, tvb(at + 2, 2))
            if n > 4 then tree:add(f.data, tvb(at + 4, n - 4)) end
        elseif uploads[command] and block == 0 then
            add_name(tree, tvb, at + 2, limit)
        end
    elseif command == 208 and n >= 2 then
        tree:add_le(f.mode, tvb(at, 2))
    elseif n > 0 then
        tree:add(f.args, tvb(at, n))
    end
end

-- The fields of the common replies (data from offset 10).
local function reply_fields(tree, tvb, command, at, limit, start_block)
    local n = limit - at
    if command == 4 and n >= 1 then
        tree:add(f.answer_state, tvb(at, 1))
        if n > 1 then add_text(tree, tvb, at + 1, limit) end
    elseif command == 3 and n >= 4 then
        tree:add_le(f.free, tvb(at, 4))
    elseif command == 5 then
        if n > 0 then add_text(tree, tvb, at, limit) end
    elseif downloads[command] and n >= 4 then
        tree:add_le(f.largest, tvb(at, 2))
        tree:add_le(f.window, tvb(at + 2, 2))
    elseif uploads[command] and start_block and n >= 8 then
        tree:add_le(f.file_length, tvb(at + 4, 4))
    elseif uploads[command] and n >= 4 then
        tree:add_le(f.block, tvb(at, 2))
        tree:add_le(f.count, tvb(at + 2, 2))
        if n > 4 then tree:add(f.data, tvb(at + 4, n - 4)) end
    elseif command == 208 and n >= 4 then
        tree:add_le(f.entry_size, tvb(at, 4))
        if n > 4 then tree:add(f.name, tvb(at + 4, n - 4)) end
    elseif n > 0 then
        tree:add(f.data, tvb(at, n))
    end
end

-- Remembers each request's first block number by sequence, so that the
-- reply to an upload's start (block 0) is told from a block reply.
local starts = {}

-- Requests and replies paired as Wireshark's Modbus dissector pairs them:
-- by the link (addresses and ports, or the capture interface), the command
-- and the sequence number. A resend has the same key; the reply is paired
-- with the latest send before it. Filled on the first pass; a second pass
-- (the GUI, or tshark -2) also shows each request's reply.
local requests = {} -- key -> {frame, time}
local replies = {}  -- request frame -> reply frame
local pairs_of = {} -- reply frame -> {request frame, request time}

local function link_key(pinfo, is_request)
    local iface = interface_field()
    local host, peer
    if is_request then
        host = tostring(pinfo.src) .. ":" .. pinfo.src_port
        peer = tostring(pinfo.dst) .. ":" .. pinfo.dst_port
    else
        host = tostring(pinfo.dst) .. ":" .. pinfo.dst_port
        peer = tostring(pinfo.src) .. ":" .. pinfo.src_port
    end
    return (iface and tostring(iface.value) or "") .. "|" .. host .. "|" .. peer
end

local function pair(tree, pinfo, is_request, command, sequence)
    local key = link_key(pinfo, is_request) .. "|" .. command .. "|" .. sequence
    local number = pinfo.number
    if is_request then
        if not pinfo.visited then requests[key] = {frame = number, time = pinfo.abs_ts} end
        local reply = replies[number]
        if reply then tree:add(f.response_in, reply):set_generated() end
        return
    end
    if not pinfo.visited then
        local request = requests[key]
        if request and request.frame < number then
            pairs_of[number] = request
            replies[request.frame] = number
            requests[key] = nil
        end
    end
    local request = pairs_of[number]
    if request then
        tree:add(f.request_in, request.frame):set_generated()
        local delta = pinfo.abs_ts - request.time
        local seconds = math.floor(delta)
        tree:add(f.response_time, NSTime.new(seconds, math.floor((delta - seconds) * 1e9 + 0.5))):set_generated()
    end
end

-- A function-72/73 packet at tvb(at, limit - at).
local function packet_fields(tree, tvb, pinfo, func, at, limit, is_request)
    if limit - at < HEADER then
        tree:add_expert_info(PI_MALFORMED, PI_ERROR, "packet shorter than its header")
        return
    end
    local length = tvb(at, 2):le_uint()
    local command = tvb(at + 2, 2):le_uint()
    local sequence = tvb(at + 4, 2):le_uint()
    tree:add_le(f.length, tvb(at, 2))
    tree:add_le(f.command, tvb(at + 2, 2))
    tree:add_le(f.sequence, tvb(at + 4, 2))
    local stop = math.min(limit, at + length)
    local name = names[command] or tostring(command)
    if func == 73 then
        if stop - at >= REPLY_HEADER then
            tree:add_le(f.value, tvb(at + 6, 4))
            if command == 399 and stop - at > REPLY_HEADER then
                tree:add(f.buffer, tvb(at + REPLY_HEADER, 1))
                if stop - at > REPLY_HEADER + 1 then
                    tree:add(f.data, tvb(at + REPLY_HEADER + 1, stop - at - REPLY_HEADER - 1))
                end
            elseif command == 400 then
                add_text(tree, tvb, at + REPLY_HEADER, stop)
            end
        end
        pinfo.cols.info:set("Pushed " .. name .. ", seq " .. sequence)
    elseif is_request then
        if (downloads[command] or uploads[command]) and stop - at >= HEADER + 2 then
            starts[sequence] = tvb(at + HEADER, 2):le_uint() == 0
        end
        request_fields(tree, tvb, command, at + HEADER, stop)
        pair(tree, pinfo, true, command, sequence)
        pinfo.cols.info:set("Request " .. name .. ", seq " .. sequence)
    else
        if stop - at < REPLY_HEADER then
            tree:add_expert_info(PI_MALFORMED, PI_ERROR, "reply shorter than its header")
            return
        end
        local status = tvb(at + 6, 4):le_int()
        local status_item = tree:add_le(f.status, tvb(at + 6, 4))
        if status ~= 0 then
            status_item:add_proto_expert_info(status_expert, "Status " .. status .. " (the request failed)")
        end
        pair(tree, pinfo, false, command, sequence)
        reply_fields(tree, tvb, command, at + REPLY_HEADER, stop, starts[sequence])
        pinfo.cols.info:set("Reply " .. name .. ", seq " .. sequence .. ", status " .. status)
    end
end

local mbtcp = Dissector.get("mbtcp")
local mbrtu = Dissector.get("mbrtu")

-- MBAP datagrams on UDP port 502, and the discovery probe and its answer.
local function dissect_udp(tvb, pinfo, root)
    local n = tvb:len()
    if n == 10 and tvb(0, 10):string() == "Get IPAddr" then
        pinfo.cols.protocol = "TAVRIX"
        pinfo.cols.info:set("Discovery probe")
        root:add(tavrix, tvb()):add(f.probe, tvb(0, 10))
        return n
    end
    if n < 8 or tvb(2, 2):uint() ~= 0 then
        if pinfo.src_port == 502 and n > 0 then
            pinfo.cols.protocol = "TAVRIX"
            pinfo.cols.info:set("Discovery answer")
            root:add(tavrix, tvb()):add(f.probe, tvb())
            return n
        end
        return 0
    end
    local func = tvb(7, 1):uint()
    if func ~= 72 and func ~= 73 then
        if mbtcp then return mbtcp:call(tvb, pinfo, root) end
        return 0
    end
    pinfo.cols.protocol = "TAVRIX"
    local tree = root:add(tavrix, tvb())
    tree:add(f.station, tvb(6, 1))
    tree:add(f.func, tvb(7, 1))
    packet_fields(tree, tvb, pinfo, func, 8, n, pinfo.dst_port == 502)
    return n
end

-- RTU frames of serial and PCI captures: station, function, packet, CRC.
local function dissect_rtu(tvb, pinfo, root)
    local n = tvb:len()
    if n < 4 then return 0 end
    local func = tvb(1, 1):uint()
    if func ~= 72 and func ~= 73 then
        if mbrtu then return mbrtu:call(tvb, pinfo, root) end
        return 0
    end
    pinfo.cols.protocol = "TAVRIX"
    local tree = root:add(tavrix, tvb())
    tree:add(f.station, tvb(0, 1))
    tree:add(f.func, tvb(1, 1))
    local dir = direction_field()
    local is_request = dir == nil or dir.value == 2  -- outbound from the host
    packet_fields(tree, tvb, pinfo, func, 2, n - 2, is_request)
    tree:add_le(f.crc, tvb(n - 2, 2))
    return n
end

-- A capture opened anew starts without the pairs of the one before.
function tavrix.init()
    starts = {}
    requests = {}
    replies = {}
    pairs_of = {}
end

function tavrix.dissector(tvb, pinfo, root)
    if pinfo.src_port == 502 or pinfo.dst_port == 502 then return dissect_udp(tvb, pinfo, root) end
    return dissect_rtu(tvb, pinfo, root)
end

DissectorTable.get("udp.port"):add(502, tavrix)
DissectorTable.get("wtap_encap"):add(wtap.USER0, tavrix)
