-- wrk script: POSTs one fixed SOAP envelope, as text/xml, over kept-alive connections.
-- Usage: wrk ... -s post.lua URL -- ENVELOPE_FILE
local payload

function init(args)
  local path = assert(args[1], "usage: wrk ... -s post.lua URL -- ENVELOPE_FILE")
  local file = assert(io.open(path, "rb"))
  local body = file:read("*a")
  file:close()
  payload = wrk.format("POST", nil, { ["Content-Type"] = "text/xml" }, body)
end

function request()
  return payload
end
