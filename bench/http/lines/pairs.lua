-- wrk script: each connection sends an addLine and the removeLine of the same new pattern as
-- one pipelined pair, so the two run in order on that connection; every pattern is used once.
-- wrk counts each answer as a request: pairs per second are half its requests per second.
-- Answers that are SOAP faults (a refused add or remove) are counted and printed at the end.
local threads = {}

function setup(thread)
  thread:set("id", #threads)
  table.insert(threads, thread)
end

local counter = 0
faults = 0

local function envelope(body)
  return '<?xml version="1.0" encoding="utf-8"?>\r\n<SOAP-ENV:Envelope xmlns:SOAP-ENV="http://schemas.xmlsoap.org/soap/envelope/">'
    .. "<SOAP-ENV:Body>" .. body .. "</SOAP-ENV:Body></SOAP-ENV:Envelope>\r\n"
end

local function post(body)
  return wrk.format("POST", nil, { ["Content-Type"] = "text/xml" }, envelope(body))
end

function request()
  counter = counter + 1
  local pattern = string.format("7%d%09d", id or 0, counter)
  return post("<addLine><newLine><pattern>" .. pattern .. "</pattern><usage/>"
      .. "<routePartitionName>Bench</routePartitionName><callPickupGroup/>"
      .. "<callWaitingEnabled>Off</callWaitingEnabled><cfaCSSClause/><mwiStatus/><shareLineAppearanceCSS/>"
      .. "<useFullyQualCallingPartyNum>Off</useFullyQualCallingPartyNum></newLine></addLine>")
    .. post("<removeLine><pattern>" .. pattern .. "</pattern><routePartitionName>Bench</routePartitionName>"
      .. "<routeFilterId/></removeLine>")
end

function response(status, headers, body)
  if body:find("SOAP-ENV:Fault", 1, true) then faults = faults + 1 end
end

function done(summary, latency, requests)
  local total = 0
  for _, thread in ipairs(threads) do total = total + thread:get("faults") end
  local seconds = summary.duration / 1e6
  io.write(string.format("addLine+removeLine pairs/s: %.1f (faults: %d)\n", summary.requests / 2 / seconds, total))
end
