# quillon_rfc2822_date(YYYY-MM-DD out_var): the day as a Debian changelog dates it,
# "Wed, 09 Dec 2026 00:00:00 +0000".
function(quillon_rfc2822_date date out_var)
  if(NOT date MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
    message(FATAL_ERROR "A release date is written YYYY-MM-DD, not '${date}'")
  endif()
  set(year ${CMAKE_MATCH_1})
  set(day ${CMAKE_MATCH_3})
  math(EXPR month "1${CMAKE_MATCH_2} - 100")
  # Days since 1970-01-01 by the civil-calendar count with March as the first month, so that
  # the leap day comes last in a year (years after 1970 only).
  if(month LESS_EQUAL 2)
    math(EXPR year_from_march "${year} - 1")
    math(EXPR month_from_march "${month} + 9")
  else()
    set(year_from_march ${year})
    math(EXPR month_from_march "${month} - 3")
  endif()
  math(EXPR day_of_year "(153 * ${month_from_march} + 2) / 5 + 1${day} - 101")
  math(EXPR days "${year_from_march} * 365 + ${year_from_march} / 4 - ${year_from_march} / 100 \
+ ${year_from_march} / 400 + ${day_of_year} - 719468")
  math(EXPR weekday "(${days} + 4) % 7")
  set(weekdays Sun Mon Tue Wed Thu Fri Sat)
  set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  list(GET weekdays ${weekday} weekday_name)
  math(EXPR month_index "${month} - 1")
  list(GET months ${month_index} month_name)
  set(${out_var} "${weekday_name}, ${day} ${month_name} ${year} 00:00:00 +0000" PARENT_SCOPE)
endfunction()
