-- wrk script: addLine and removeLine pairs. A connection adds a line with a new pattern; once the
-- answer is in, the next request of the thread removes that line by its uuid. Requests are not
-- pipelined, so every removal names a line whose add has been answered. Pairs per second are
-- the removals answered per second; answers that are SOAP faults are counted and printed.
local threads = {}

function setup(thread)
  thread:set("id", #threads)
  table.insert(threads, thread)
end

local counter = 0
-- Patterns differ from run to run: a run ends with lines added and not yet removed, and the next
-- run against the same database would otherwise add those patterns again and count faults.
local run = os.time() % 1000
local added = {}  -- identifiers of lines added and not yet being removed
removed = 0
faults = 0

local function post(body)
  return wrk.format("POST", nil, { ["Content-Type"] = "text/xml" },
    '<?xml version="1.0" encoding="utf-8"?>\r\n<SOAP-ENV:Envelope '
      .. 'xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/envelope/"><SOAP-ENV:Body>' .. body
      .. "</SOAP-ENV:Body></SOAP-ENV:Envelope>\r\n")
end

function request()
  local line = table.remove(added)
  if line then return post("<removeLine><uuid>" .. line .. "</uuid></removeLine>") end
  counter = counter + 1
  return post("<addLine><newLine><pattern>" .. string.format("7%d%03d%09d", id or 0, run, counter) .. "</pattern><usage/>"
    .. "<routePartitionName>Bench</routePartitionName><callPickupGroup/>"
    .. "<callWaitingEnabled>Off</callWaitingEnabled><cfaCSSClause/><mwiStatus/><shareLineAppearanceCSS/>"
    .. "<useFullyQualCallingPartyNum>Off</useFullyQualCallingPartyNum></newLine></addLine>")
end

function response(status, headers, body)
  local line = body:match("addLineResponse.-<return>(.-)</return>")
  if line then
    table.insert(added, line)
  elseif body:find("removeLineResponse", 1, true) then
    removed = removed + 1
  else
    faults = faults + 1
  end
end

function done(summary, latency, requests)
  local pairs, refused = 0, 0
  for _, thread in ipairs(threads) do
    pairs = pairs + thread:get("removed")
    refused = refused + thread:get("faults")
  end
  io.write(string.format("addLine+removeLine pairs/s: %.1f (faults: %d)\n", pairs / (summary.duration / 1e6), refused))
  io.write(string.format("pairs: %d\n", pairs))
end
