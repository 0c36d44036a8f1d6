#!/bin/sh
# Hosts of a test's own that answer echo requests late or never, as far hosts
# do: a network namespace beside the caller's, reached over a veth pair, where
# the kernel answers no echo request and the responder (test_late_host)
# answers for each host after its delay. Run, as root, in the caller's network
# namespace:
#
#   late_hosts.sh RESPONDER NAME N DELAY...
#
# NAME names the namespace, which is the machine's: make it unique. N makes
# the link nvlateN, the subnet 10.209.N.0/24, the caller's end 10.209.N.1 and
# the hosts 10.209.N.2 onwards, one for each DELAY (milliseconds, or
# "silent"). Standard input and output are the responder's: it says "ready"
# once every host listens, a line ADDRESS=DELAY changes a host's delay, and
# the end of the input ends it. The namespace goes with it.
set -eu
responder=$1 name=$2 n=$3
shift 3
link=nvlate$n
ip netns add "$name"
trap 'ip netns del "$name" 2>/dev/null || true' EXIT
ip link add "$link" type veth peer name "${link}p" netns "$name"
ip addr add "10.209.$n.1/24" dev "$link"
ip link set "$link" up
ip -n "$name" link set "${link}p" up
ip netns exec "$name" sysctl -qw net.ipv4.icmp_echo_ignore_all=1
hosts=
i=2
for delay in "$@"; do
    ip -n "$name" addr add "10.209.$n.$i/24" dev "${link}p"
    hosts="$hosts 10.209.$n.$i=$delay"
    i=$((i + 1))
done
# shellcheck disable=SC2086
ip netns exec "$name" "$responder" $hosts
