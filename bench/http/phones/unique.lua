-- wrk script: POSTs an envelope template in which every %NAME% becomes a name no other request
-- of the run uses (thread number and counter), so each addPhone creates a new phone.
-- Usage: wrk ... -s unique.lua URL -- TEMPLATE_FILE
local threads = 0
local template
local counter = 0

function setup(thread)
  thread:set("tid", threads)
  threads = threads + 1
end

function init(args)
  local file = assert(io.open(assert(args[1], "usage: wrk ... -s unique.lua URL -- TEMPLATE_FILE"), "rb"))
  template = file:read("*a")
  file:close()
end

function request()
  counter = counter + 1
  local name = string.format("ADD%02d%08d", tid, counter)
  local body = template:gsub("%%NAME%%", name)
  return wrk.format("POST", nil, { ["Content-Type"] = "text/xml" }, body)
end
